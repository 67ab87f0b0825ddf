#include "hub/message_hub.h"

namespace lorvex {

int MessageHub::Register(MessageReceiver* receiver) {
    if (receiver == nullptr) return -1;
    for (int i = 0; i < kCapacity; ++i) {
        if (slots_[i] == nullptr) {
            slots_[i] = receiver;
            ++registered_;
            return 0;
        }
    }
    return -1;
}

int MessageHub::Unregister(MessageReceiver* receiver) {
    if (receiver == nullptr || registered_ == 0) return -1;
    for (int i = 0; i < kCapacity; ++i) {
        if (slots_[i] == receiver) {
            slots_[i] = nullptr;
            --registered_;
            return 0;
        }
    }
    return -1;
}

void MessageHub::Send(uint32_t code, void* record) {
    if (registered_ == 0) return;
    for (int i = 0; i < kCapacity; ++i) {
        MessageReceiver* receiver = slots_[i];
        if (receiver != nullptr) receiver->OnMessage(code, record);
    }
}

namespace {
MessageHub* g_app_hub = nullptr;
}

MessageHub* app_hub() { return g_app_hub; }
void set_app_hub(MessageHub* hub) { g_app_hub = hub; }

}  // namespace lorvex
