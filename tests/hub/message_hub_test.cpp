#include "hub/message_hub.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hub/messages.h"

namespace lorvex {
namespace {

// Appends "<name>:<code>" to a shared log for every message it receives.
class LogReceiver : public MessageReceiver {
public:
    LogReceiver(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
    void OnMessage(uint32_t code, void*) override {
        log_->push_back(name_ + ":" + std::to_string(code));
        if (on_message) on_message(code);
    }
    std::function<void(uint32_t)> on_message;

private:
    std::string name_;
    std::vector<std::string>* log_;
};

TEST(MessageHub, ThirtyThirdRegisterFailsAndTheThirtyTwoKeepReceiving) {
    MessageHub hub;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<LogReceiver>> receivers;
    for (int i = 0; i < 32; ++i) {
        receivers.push_back(std::make_unique<LogReceiver>(std::to_string(i), &log));
        ASSERT_EQ(hub.Register(receivers.back().get()), 0);
    }
    LogReceiver extra("extra", &log);
    EXPECT_EQ(hub.Register(&extra), -1);
    EXPECT_EQ(hub.registered(), 32);

    hub.Send(7, nullptr);
    ASSERT_EQ(log.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(log[i], std::to_string(i) + ":7");
}

TEST(MessageHub, FreedSlotIsReusedBeforeHigherFreeSlots) {
    MessageHub hub;
    std::vector<std::string> log;
    LogReceiver r0("r0", &log), r1("r1", &log), r2("r2", &log), r3("r3", &log), r4("r4", &log);
    LogReceiver late("late", &log);
    for (LogReceiver* r : {&r0, &r1, &r2, &r3, &r4}) ASSERT_EQ(hub.Register(r), 0);
    ASSERT_EQ(hub.Unregister(&r3), 0);
    ASSERT_EQ(hub.Register(&late), 0);
    EXPECT_EQ(hub.slot(3), &late);
    EXPECT_EQ(hub.slot(5), nullptr);

    hub.Send(1, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"r0:1", "r1:1", "r2:1", "late:1", "r4:1"}));
}

TEST(MessageHub, RegisterAndUnregisterResults) {
    struct Case {
        const char* reason;
        std::function<int(MessageHub&, MessageReceiver*, MessageReceiver*)> op;
        int expected;
    };
    const Case cases[] = {
        {"null register", [](MessageHub& h, MessageReceiver*, MessageReceiver*) { return h.Register(nullptr); }, -1},
        {"null unregister",
         [](MessageHub& h, MessageReceiver* a, MessageReceiver*) {
             (void)h.Register(a);
             return h.Unregister(nullptr);
         },
         -1},
        {"unregister on an empty hub", [](MessageHub& h, MessageReceiver* a, MessageReceiver*) { return h.Unregister(a); }, -1},
        {"unregister of one never registered",
         [](MessageHub& h, MessageReceiver* a, MessageReceiver* b) {
             (void)h.Register(a);
             return h.Unregister(b);
         },
         -1},
        {"second unregister of the same receiver",
         [](MessageHub& h, MessageReceiver* a, MessageReceiver* b) {
             (void)h.Register(a);
             (void)h.Register(b);
             (void)h.Unregister(a);
             return h.Unregister(a);
         },
         -1},
        {"double register takes two slots",
         [](MessageHub& h, MessageReceiver* a, MessageReceiver*) {
             (void)h.Register(a);
             (void)h.Register(a);
             return h.registered();
         },
         2},
    };
    for (const Case& c : cases) {
        MessageHub hub;
        std::vector<std::string> log;
        LogReceiver a("a", &log), b("b", &log);
        EXPECT_EQ(c.op(hub, &a, &b), c.expected) << c.reason;
    }
}

TEST(MessageHub, DoubleRegisteredReceiverHearsTwiceAndUnregisterFreesLowestSlot) {
    MessageHub hub;
    std::vector<std::string> log;
    LogReceiver a("a", &log), b("b", &log);
    ASSERT_EQ(hub.Register(&a), 0);
    ASSERT_EQ(hub.Register(&b), 0);
    ASSERT_EQ(hub.Register(&a), 0);
    hub.Send(2, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a:2", "b:2", "a:2"}));
    ASSERT_EQ(hub.Unregister(&a), 0);
    EXPECT_EQ(hub.slot(0), nullptr);
    EXPECT_EQ(hub.slot(2), &a);
}

TEST(MessageHub, SendWithNoReceiverDoesNothing) {
    MessageHub hub;
    ListReadyNote note;
    note.kind = kListFolder;
    hub.Send(MSG_LIST_READY, &note);
    EXPECT_EQ(note.kind, kListFolder);
    EXPECT_EQ(hub.registered(), 0);
}

TEST(MessageHub, NestedSendReachesEveryReceiverBeforeTheOuterMovesOn) {
    MessageHub hub;
    std::vector<std::string> log;
    LogReceiver r0("r0", &log), r1("r1", &log), r2("r2", &log);
    r1.on_message = [&](uint32_t code) {
        if (code == 1) hub.Send(2, nullptr);
    };
    for (LogReceiver* r : {&r0, &r1, &r2}) ASSERT_EQ(hub.Register(r), 0);
    hub.Send(1, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"r0:1", "r1:1", "r0:2", "r1:2", "r2:2", "r2:1"}));
}

TEST(MessageHub, ReceiverUnregisteredDuringDeliveryIsNotCalledAfterwards) {
    MessageHub hub;
    std::vector<std::string> log;
    LogReceiver r0("r0", &log), r1("r1", &log), r2("r2", &log);
    r0.on_message = [&](uint32_t) { (void)hub.Unregister(&r2); };
    for (LogReceiver* r : {&r0, &r1, &r2}) ASSERT_EQ(hub.Register(r), 0);
    hub.Send(9, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"r0:9", "r1:9"}));
}

TEST(MessageHub, UnansweredQueryComesBackUnchanged) {
    MessageHub hub;
    std::vector<std::string> log;
    LogReceiver r0("r0", &log);
    ASSERT_EQ(hub.Register(&r0), 0);
    SelectionQuery query;
    hub.Send(MSG_SELECTION_QUERY, &query);
    EXPECT_EQ(query.magic, kSelectionQueryMagic);
    EXPECT_EQ(query.count, 0);
    EXPECT_EQ(query.positions, nullptr);
}

struct Owner {
    std::vector<uint32_t> seen;
    void handle(uint32_t code, void*) { seen.push_back(code); }
};

TEST(ForwardingReceiver, ForwardsOnlyItsCodesAndNothingWithoutOwner) {
    MessageHub hub;
    Owner owner;
    ForwardingReceiver<Owner> forward(&owner, &Owner::handle);
    forward.only(MSG_LIST_READY, MSG_PANEL_PAGE);
    ASSERT_EQ(hub.Register(&forward), 0);
    hub.Send(MSG_LIST_READY, nullptr);
    hub.Send(MSG_DB_OPEN, nullptr);
    hub.Send(MSG_PANEL_PAGE, nullptr);
    forward.set_owner(nullptr);
    hub.Send(MSG_LIST_READY, nullptr);
    EXPECT_EQ(owner.seen, (std::vector<uint32_t>{MSG_LIST_READY, MSG_PANEL_PAGE}));
}

TEST(ForwardingReceiver, WithoutCodeListForwardsEverything) {
    MessageHub hub;
    Owner owner;
    ForwardingReceiver<Owner> forward(&owner, &Owner::handle);
    ASSERT_EQ(hub.Register(&forward), 0);
    hub.Send(1, nullptr);
    hub.Send(MSG_FILTER, nullptr);
    EXPECT_EQ(owner.seen, (std::vector<uint32_t>{1, MSG_FILTER}));
}

}  // namespace
}  // namespace lorvex
