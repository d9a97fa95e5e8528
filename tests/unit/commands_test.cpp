/*******************************************************************************************
*  commands_test.cpp — the command queue, its answers on the frame thread, and the hand-over
*
*  The live tests run the real queue thread against the demo launcher. That thread never
*  ends, so it gets a Link of its own that lives as long as the process; each test points it
*  at its own launcher while the queue is idle and drains every answer before it ends.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <utility>

#include "command_runner.h"
#include "demo_peer.h"
#include "link/command_list.h"
#include "link/commands.h"
#include "link/handover.h"
#include "link/http.h"
#include "link/link.h"
#include "link/state.h"
#include "shell/shell.h"
#include "ui/ui_state.h"
#include "window_test.h"

namespace vlr {
namespace {

using namespace std::chrono_literals;

using test::runFrames;
using test::runnerLink;

std::size_t queued(Link& link) {
    std::lock_guard<std::mutex> hold(link.lock);
    return link.commands.size();
}

class CommandsTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        connectStateModel();  // notices reach the UI state
    }

    static void useRunnerWith(const test::DemoPeer& peer) { ASSERT_TRUE(test::useRunnerWith(peer)); }
    static bool noticeShown(const std::string& text) {
        return uiState().notice.text == text && uiState().notice.expiry > uiClock() + kNoticeSeconds - 2;
    }
};

// ---- queue without a launcher ----

TEST_F(CommandsTest, OnlyAStateRequestRightBehindAnotherIsDropped) {
    Link link;  // nobody takes commands out of this one
    setTheLink(&link);
    requestState();
    requestState();
    act("play", "{\"profile\": \"a\"}");
    requestState();
    api("licence", "{}");
    requestState();
    requestState();

    std::vector<std::string> actions;
    for (const Command& command : link.commands)
        actions.push_back(command.action);
    EXPECT_EQ(actions, (std::vector<std::string>{"state", "play", "state", "licence", "state"}));
    EXPECT_EQ(link.commands[1].body, "{\"profile\": \"a\"}");

    // A state request being posted is no longer queued: the next one waits behind the install.
    link.commands.clear();
    act("install", "{}");
    link.commands.pop_front();
    std::vector<int> answered;
    for (int i = 0; i < 3; ++i)
        requestState([&answered, i](const Json&) { answered.push_back(i); });
    ASSERT_EQ(link.commands.size(), 1u);

    link.commands.front().completion(parseJson("{}"));
    EXPECT_EQ(answered, std::vector<int>{0});  // the waiting request keeps its own completion
}

TEST_F(CommandsTest, HandOverWakesOnlyAnOpenWindowAndKeepsTheEarliestWake) {
    static int wakes;
    wakes = 0;  // static for the captureless wake call; fresh in every run of the test
    Link link;
    link.wakeFrame = [] { ++wakes; };
    int ran = 0;
    postUiTask(link, [&] { ran += 1; });
    EXPECT_EQ(wakes, 0);
    link.windowOpen = true;
    postUiTask(link, [&] { ran += 10; });
    EXPECT_EQ(wakes, 1);
    for (UiTask& task : takeUiTasks(link))
        task();
    EXPECT_EQ(ran, 11);
    EXPECT_TRUE(takeUiTasks(link).empty());

    const SteadyTime now = std::chrono::steady_clock::now();
    requestWake(link, now + 50ms);
    requestWake(link, now + 500ms);
    EXPECT_EQ(link.wakeDeadline, now + 50ms);
    requestWake(link, now + 10ms);
    EXPECT_EQ(link.wakeDeadline, now + 10ms);
}

// ---- queue against the demo launcher ----

TEST_F(CommandsTest, AnswersComeBackInQueueOrder) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    std::vector<int> order;
    // A slow first command: a queue that did not wait for it would answer the others first.
    api("test-stall", "{\"seconds\": 1}", [&](const Json&) { order.push_back(0); });
    api("licence", "{}", [&](const Json&) { order.push_back(1); });
    requestState([&](const Json&) { order.push_back(2); });
    api("check-updates", "{}", [&](const Json&) { order.push_back(3); });
    requestState([&](const Json&) { order.push_back(4); });
    ASSERT_TRUE(runFrames([&] { return order.size() == 5; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));

    std::vector<std::string> posted;
    for (const Json& entry : peer.logEntries())
        posted.push_back(asText(get(entry, "action")));
    EXPECT_EQ(posted, (std::vector<std::string>{"test-stall", "licence", "state", "check-updates", "state"}));
}

TEST_F(CommandsTest, StateRequestsCoalesceWhileAnotherCommandIsPosted) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    int stalls = 0, states = 0;
    api("test-stall", "{\"seconds\": 1}", [&](const Json&) { ++stalls; });
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (queued(runnerLink()) != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(queued(runnerLink()), 0u);  // taken out: now it is being posted
    for (int i = 0; i < 3; ++i)
        requestState([&](const Json&) { ++states; });
    EXPECT_EQ(queued(runnerLink()), 1u);

    ASSERT_TRUE(runFrames([&] { return stalls == 1 && states == 1; }));
    std::this_thread::sleep_for(200ms);
    runFrames([] { return true; });
    EXPECT_EQ(states, 1);
    EXPECT_TRUE(windowState().stateReceived);
    EXPECT_EQ(peer.logEntries().size(), 2u);
}

TEST_F(CommandsTest, ErrorsBecomeNoticesAndNothingElse) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    int called = 0;
    // The launcher's own error, in an answer that also carries a state document.
    act("test-raw", "{\"raw\": " + quoteJson("HTTP/1.1 200 OK\r\n\r\n{\"error\": \"Build it first.\", \"steps\": {}}") + "}",
        [&](const Json&) { ++called; });
    ASSERT_TRUE(runFrames([&] { return !uiState().notice.text.empty(); }));
    EXPECT_TRUE(noticeShown("Build it first."));
    EXPECT_EQ(called, 0);
    EXPECT_FALSE(windowState().stateReceived);

    uiState().notice = Notice();
    act("test-status", "{\"status\": 500}", [&](const Json&) { ++called; });
    ASSERT_TRUE(runFrames([&] { return !uiState().notice.text.empty(); }));
    EXPECT_TRUE(noticeShown(kNoAnswer));
    EXPECT_EQ(called, 0);
}

TEST_F(CommandsTest, OnlyAnswersWithStepsBecomeTheState) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    Json seen;
    bool answered = false;
    act("licence", "{}", [&](const Json& answer) { seen = answer; answered = true; });
    ASSERT_TRUE(runFrames([&] { return answered; }));
    EXPECT_TRUE(isTrue(get(seen, "ok")));
    EXPECT_FALSE(windowState().stateReceived);

    answered = false;
    requestState([&](const Json& answer) {
        answered = true;
        EXPECT_TRUE(windowState().stateReceived);  // applied before the page hears of it
        seen = answer;
    });
    ASSERT_TRUE(runFrames([&] { return answered; }));
    EXPECT_TRUE(get(windowState().state, "steps").isObject());
    EXPECT_EQ(asText(get(windowState().state, "version")), asText(get(seen, "version")));
    EXPECT_TRUE(uiState().notice.text.empty());
}

// The list is the whole of what the window asks of a launcher: every action in it is one the
// demo launcher serves, and each named command posts the bytes the window has always sent
// (a space after each colon and comma, texts quoted and escaped).
TEST_F(CommandsTest, EveryCommandOfTheListIsServedAndPostsItsBodyAsBefore) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    std::string about;
    exchange(peer.port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 5000, [&about](const char* data, std::size_t size) {
        about.append(data, size);
        return true;
    });
    const std::size_t listed = about.find("\nActions: ");
    ASSERT_NE(listed, std::string::npos) << about;
    const std::string served = ", " + about.substr(listed + 10, about.find('\n', listed + 1) - listed - 10) + ",";
    std::set<std::string> inList;
    for (const LauncherAction& action : launcherActions()) {
        EXPECT_NE(served.find(", " + std::string(action.name) + ","), std::string::npos) << action.name;
        inList.insert(action.name);
    }

    const std::string odd = "a \"b\"\nc\\";
    const std::string q = R"("a \"b\"\u000ac\\")";
    EXPECT_TRUE(succeeded(probeState(peer.link)));
    EXPECT_TRUE(succeeded(askFront(peer.link)));
    browseIso({});
    showLicence();
    downloadCompiler(odd, {});
    installGame(odd, {});
    purgeBuild({});
    selectProfile(odd);
    openProfileFolder(odd);
    browseSaves({});
    createProfile(odd, "", {});
    vlr::play(odd, {});
    stopTask();
    checkForUpdates();
    updateNow({});
    storeSetting("key_cross", odd, {});
    bool last = false;
    requestState([&last](const Json&) { last = true; });  // answered after everything queued before it
    ASSERT_TRUE(runFrames([&] { return last && peer.logEntries().size() >= 17; }));

    std::multiset<std::pair<std::string, std::string>> posted;
    for (const Json& entry : peer.logEntries())
        posted.insert({asText(get(entry, "action")), asText(get(entry, "body"))});
    const std::multiset<std::pair<std::string, std::string>> expected = {
        {"state", "{}"}, {"front", "{}"}, {"browse", "{}"}, {"licence", "{}"},
        {"download-compiler", "{\"iso\": " + q + "}"}, {"install", "{\"iso\": " + q + "}"}, {"purge", "{}"},
        {"select", "{\"profile\": " + q + "}"}, {"open-profile", "{\"profile\": " + q + "}"}, {"browse-saves", "{}"},
        {"new-profile", "{\"name\": " + q + ", \"saves\": \"\"}"}, {"play", "{\"profile\": " + q + "}"},
        {"stop", "{}"}, {"check-updates", "{}"}, {"update", "{}"},
        {"settings", "{\"values\": {\"key_cross\": " + q + "}}"}, {"state", "{}"}};
    EXPECT_EQ(posted, expected);
    std::set<std::string> sent;
    for (const auto& [action, body] : expected)
        sent.insert(action);
    EXPECT_EQ(sent, inList);  // a new row needs its line above
}

TEST_F(CommandsTest, FileDialogsRunBesideTheQueue) {
    platform::setEnv("VLR_DEMO_BROWSE_DELAY", "0.5");
    platform::setEnv("VLR_DEMO_BROWSE", "/discs/velocrash.iso");
    test::DemoPeer peer;
    platform::removeEnv("VLR_DEMO_BROWSE_DELAY");
    platform::removeEnv("VLR_DEMO_BROWSE");
    VLR_REQUIRE_DEMO_PEER(peer);
    useRunnerWith(peer);

    std::vector<std::string> order;
    std::string path;
    // An open dialog does not hold up the queue ...
    browseIso([&](const Json& answer) { order.push_back("browse"); path = asText(get(answer, "path")); });
    api("licence", "{}", [&](const Json&) { order.push_back("licence"); });
    ASSERT_TRUE(runFrames([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"licence", "browse"}));
    EXPECT_EQ(path, "/discs/velocrash.iso");

    // ... and does not wait behind a slow command.
    order.clear();
    api("test-stall", "{\"seconds\": 3}", [&](const Json&) { order.push_back("stall"); });
    browseSaves([&](const Json&) { order.push_back("browse-saves"); });
    ASSERT_TRUE(runFrames([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"browse-saves", "stall"}));
}

}  // namespace
}  // namespace vlr
