#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

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

TEST_F(WorldAcl, ListHoldsOneEntryGrantingEveryoneAllAccess) {
    ASSERT_TRUE(MakeWorldAcl());
    ASSERT_NE(worldSid, nullptr);
    ASSERT_NE(worldAcl, nullptr);
    EXPECT_TRUE(IsValidAcl(worldAcl));
    EXPECT_EQ(worldAcl->AclRevision, ACL_REVISION);
    EXPECT_EQ(worldAcl->AclRevision, 2);
    EXPECT_EQ(worldAcl->AclSize, 40);
    ASSERT_EQ(worldAcl->AceCount, 1);

    ACL_SIZE_INFORMATION sizes = {};
    ASSERT_TRUE(GetAclInformation(worldAcl, &sizes, sizeof(sizes), AclSizeInformation));
    EXPECT_EQ(sizes.AclBytesInUse, 8u + 8u + 12u);  // list header, entry header and mask, SID

    void* ace = nullptr;
    ASSERT_TRUE(GetAce(worldAcl, 0, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Header.AceFlags, 0);  // no inheritance
    EXPECT_EQ(allowed->Mask, static_cast<ACCESS_MASK>(GENERIC_ALL));
    EXPECT_EQ(SidText(&allowed->SidStart), L"S-1-1-0");

    ReleaseWorldAcl();
    EXPECT_EQ(worldAcl, nullptr);
    EXPECT_EQ(worldSid, nullptr);
}

TEST_F(WorldAcl, ListHasNoRoomForASecondEntryAndKeepsTheErrorCode) {
    ASSERT_TRUE(MakeWorldAcl());
    lastError = NO_ERROR;
    EXPECT_FALSE(AddWorldAccess());
    EXPECT_EQ(lastError, static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
    EXPECT_EQ(worldAcl->AceCount, 1);
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

TEST_F(WorldAcl, WithoutAListTheDescriptorHasANullDacl) {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    ASSERT_TRUE(PrepareSecurityAttributes(&descriptor, &attributes));
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = reinterpret_cast<PACL>(&descriptor);  // must be overwritten
    ASSERT_TRUE(GetSecurityDescriptorDacl(&descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(dacl, nullptr);
}

}  // namespace
}  // namespace journalprep
