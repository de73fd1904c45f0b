#include "settings_session.h"

#include <gtest/gtest.h>

namespace zendrel {
namespace {

using Rows = std::vector<std::wstring>;

Settings AllLoaded() {
    Settings s;
    s.approvedSites = Rows{L"a.com", L"b.com"};
    s.loadedUrlsBytes = std::make_shared<const std::string>("a.com\r\nb.com\r\n");
    s.requestedSites = Rows{L"x.com", L"y.com", L"x.com"};
    s.activityLogging = true;
    s.mode = false;
    return s;
}

TEST(SettingsSessionTest, WhatDidNotLoadIsNeverSavedAndTheUsersModeIs) {
    SettingsSession session;
    Settings partial;
    partial.approvedSites = Rows{L"a.com"};
    session.Load(partial);
    Settings saved = session.ToSave(true, true, std::nullopt);
    EXPECT_TRUE(saved.approvedSites && saved.approvedSites->empty());
    EXPECT_FALSE(saved.requestedSites);
    EXPECT_FALSE(saved.activityLogging);
    EXPECT_FALSE(saved.mode);
    session.ChooseMode(true);
    EXPECT_EQ(session.ToSave(true, true, std::nullopt).mode, true);
    // The rows move out once; the list stays loaded.
    EXPECT_EQ(session.TakeApprovedRows(), Rows{L"a.com"});
    EXPECT_TRUE(session.Loaded(Setting::ApprovedSites));
    EXPECT_TRUE(session.TakeApprovedRows().empty());
}

TEST(SettingsSessionTest, OutsideChangesMergeWithoutUndoingTheWindowsEdits) {
    SettingsSession session;
    session.Load(AllLoaded());
    session.RequestRemoved(L"x.com");

    // urls.txt: this window removed b.com and added c.com; outside, d.com came.
    auto bytes = std::make_shared<const std::string>("new");
    auto approved = session.MergeApproved({Rows{L"a.com", L"b.com"}, bytes,
                                           Rows{L"a.com", L"b.com", L"d.com"}},
                                          Rows{L"a.com", L"c.com"});
    EXPECT_EQ(approved, (Rows{L"a.com", L"d.com", L"c.com"}));
    EXPECT_EQ(session.LoadedUrlsBytes(), bytes);

    // "requests": the entry approved here stays away (one occurrence of it).
    EXPECT_EQ(session.MergeRequested({L"x.com", L"y.com", L"x.com", L"z.com"}, {}),
              (Rows{L"y.com", L"x.com", L"z.com"}));
    EXPECT_FALSE(session.MergeRequested({L"x.com", L"y.com"}, {L"y.com"}));
    EXPECT_EQ(session.ToSave(false, false, std::nullopt).removedRequests, Rows{L"x.com"});

    // Logging: a box left alone follows; a box the user changed keeps the choice.
    EXPECT_EQ(session.MergeLogging(false, true), false);
    EXPECT_FALSE(session.MergeLogging(true, true));  // the user ticked it after the last change

    // Mode: only a change is news.
    EXPECT_FALSE(session.MergeMode(false));
    EXPECT_EQ(session.MergeMode(true), true);
}

TEST(SettingsSessionTest, ListsThatDidNotLoadTakeNoMerge) {
    SettingsSession session;
    session.Load(Settings{});
    EXPECT_FALSE(session.MergeApproved({Rows{}, nullptr, Rows{L"a.com"}}, {}));
    EXPECT_FALSE(session.MergeRequested({L"x.com"}, {}));
    EXPECT_FALSE(session.MergeLogging(true, false));
    EXPECT_FALSE(session.MergeMode(true));
}

}  // namespace
}  // namespace zendrel
