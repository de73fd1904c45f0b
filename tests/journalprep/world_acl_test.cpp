#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <iterator>
#include <string>

#include "world_acl.h"

namespace journalprep {
namespace {

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"(none)";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

class WorldAcl : public ::testing::Test {
  protected:
    void TearDown() override { ReleaseWorldAcl(); }
};

TEST_F(WorldAcl, IdentifierIsEveryone) {
    ASSERT_TRUE(MakeWorldSid());
    ASSERT_NE(worldSid, nullptr);
    EXPECT_TRUE(IsValidSid(worldSid));
    EXPECT_EQ(SidText(worldSid), L"S-1-1-0");
    EXPECT_EQ(GetLengthSid(worldSid), 12u);
    EXPECT_EQ(worldAcl, nullptr);
}

// Only Windows can show that the list is enforced (Wine keeps no list of a
// file); what is shown here is the list itself: everyone may read, write and
// append, but not delete, change the list or take the owner; SYSTEM and the
// Administrators may do everything.
TEST_F(WorldAcl, ListLetsEveryoneWriteButNotDeleteOrChangeIt) {
    ASSERT_TRUE(MakeWorldAcl());
    ASSERT_NE(worldAcl, nullptr);
    EXPECT_TRUE(IsValidAcl(worldAcl));
    EXPECT_EQ(worldAcl->AclRevision, ACL_REVISION);
    ACL_SIZE_INFORMATION sizes = {};
    ASSERT_TRUE(GetAclInformation(worldAcl, &sizes, sizeof(sizes), AclSizeInformation));
    // List header; three entry headers and masks; the SIDs of 12, 12 and 16 bytes.
    EXPECT_EQ(sizes.AclBytesInUse, 8u + 3 * 8u + 12u + 12u + 16u);
    EXPECT_EQ(sizes.AclBytesFree, 0u);

    struct {
        const wchar_t* sid;
        ACCESS_MASK mask;
    } expected[] = {
        {L"S-1-5-18", FILE_ALL_ACCESS},
        {L"S-1-5-32-544", FILE_ALL_ACCESS},
        {L"S-1-1-0", FILE_GENERIC_READ | FILE_GENERIC_WRITE},
    };
    ASSERT_EQ(worldAcl->AceCount, std::size(expected));
    for (DWORD i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(worldAcl, i, &ace));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Header.AceFlags, 0);  // no inheritance
        EXPECT_EQ(SidText(&allowed->SidStart), expected[i].sid);
        EXPECT_EQ(allowed->Mask, expected[i].mask);
    }
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(worldAcl, 2, &ace));
    ACCESS_MASK everyone = static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
    EXPECT_EQ(everyone & (DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE), 0u);
    const ACCESS_MASK addOn = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA |
                              FILE_WRITE_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
    EXPECT_EQ(everyone & addOn, addOn);

    ReleaseWorldAcl();
    EXPECT_EQ(worldAcl, nullptr);
    EXPECT_EQ(worldSid, nullptr);
    EXPECT_EQ(systemSid, nullptr);
    EXPECT_EQ(administratorsSid, nullptr);
}

TEST_F(WorldAcl, ListHasNoRoomForAnotherEntryAndKeepsTheErrorCode) {
    ASSERT_TRUE(MakeWorldAcl());
    lastError = NO_ERROR;
    EXPECT_FALSE(AddWorldAccess());
    EXPECT_EQ(lastError, static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
    EXPECT_EQ(worldAcl->AceCount, 3);
}

TEST_F(WorldAcl, DescriptorCarriesTheListAsPresentNotDefaulted) {
    ASSERT_TRUE(MakeWorldAcl());
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    attributes.bInheritHandle = TRUE;
    ASSERT_TRUE(PrepareSecurityAttributes(&descriptor, &attributes));
    EXPECT_EQ(attributes.nLength, sizeof(SECURITY_ATTRIBUTES));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(attributes.nLength, 12u);
    }
    EXPECT_EQ(attributes.bInheritHandle, FALSE);
    EXPECT_EQ(attributes.lpSecurityDescriptor, &descriptor);

    EXPECT_TRUE(IsValidSecurityDescriptor(&descriptor));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(&descriptor, &control, &revision));
    EXPECT_EQ(revision, static_cast<DWORD>(SECURITY_DESCRIPTOR_REVISION));
    EXPECT_EQ(control & SE_SELF_RELATIVE, 0);
    EXPECT_NE(control & SE_DACL_PRESENT, 0);
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);  // nothing inherited from the folder
    EXPECT_EQ(control & (SE_DACL_DEFAULTED | SE_SACL_PRESENT), 0);

    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(&descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(dacl, worldAcl);

    PSID owner = &owner, group = &group;
    ASSERT_TRUE(GetSecurityDescriptorOwner(&descriptor, &owner, &defaulted));
    ASSERT_TRUE(GetSecurityDescriptorGroup(&descriptor, &group, &defaulted));
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(group, nullptr);
}

// A null DACL would let anyone delete the log or change its list.
TEST_F(WorldAcl, WithoutAListNoDescriptorIsAttachedAndNothingIsApplied) {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    EXPECT_FALSE(PrepareSecurityAttributes(&descriptor, &attributes));
    EXPECT_EQ(attributes.lpSecurityDescriptor, nullptr);
    EXPECT_FALSE(ApplyWorldAcl(GetCurrentProcess()));
    EXPECT_EQ(lastError, static_cast<DWORD>(ERROR_INVALID_ACL));
}

}  // namespace
}  // namespace journalprep
