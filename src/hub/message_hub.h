// The message hub: the one channel for events that cross component borders.
// A message is a 32-bit code and a pointer to a record the sender owns; the
// hub calls every registered receiver synchronously, in slot order, on the
// sender's thread. The hub does not own its receivers. User-interface thread
// only: the hub has no lock, and worker threads never send.
#pragma once

#include <array>
#include <cstdint>

namespace lorvex {

class MessageReceiver {
public:
    virtual ~MessageReceiver() = default;
    // record may be null; a receiver checks the record's magic before it
    // reads anything else.
    virtual void OnMessage(uint32_t code, void* record) = 0;
};

class MessageHub {
public:
    static constexpr int32_t kCapacity = 32;

    MessageHub() = default;
    MessageHub(const MessageHub&) = delete;
    MessageHub& operator=(const MessageHub&) = delete;

    // Takes the lowest free slot; the same receiver registered twice takes
    // two slots. -1 when receiver is null or all slots are taken.
    [[nodiscard]] int Register(MessageReceiver* receiver);

    // Frees the lowest slot holding receiver. -1 when receiver is null,
    // nothing is registered, or receiver is not found.
    [[nodiscard]] int Unregister(MessageReceiver* receiver);

    // Visits slots 0 to 31 in order, reading each slot as it is reached, so
    // a receiver unregistered during delivery is not called afterwards and
    // a nested Send reaches every receiver before the outer one moves on.
    void Send(uint32_t code, void* record);

    int32_t capacity() const { return kCapacity; }
    int32_t registered() const { return registered_; }
    MessageReceiver* slot(int index) const {
        return index >= 0 && index < kCapacity ? slots_[index] : nullptr;
    }

private:
    int32_t registered_ = 0;
    std::array<MessageReceiver*, kCapacity> slots_{};
};

// The application's hub. The application object installs its hub before
// any component is built; until then, and after it is cleared, this
// returns null.
MessageHub* app_hub();
void set_app_hub(MessageHub* hub);

// A receiver that forwards to a member function of its owner, optionally
// only for a fixed set of codes. The owner creates it at the end of its
// construction and unregisters it at the start of its destruction.
template <typename Owner>
class ForwardingReceiver final : public MessageReceiver {
public:
    using Handler = void (Owner::*)(uint32_t code, void* record);

    ForwardingReceiver(Owner* owner, Handler handler) : owner_(owner), handler_(handler) {}

    // Restricts forwarding to codes; an empty list forwards every code.
    template <typename... Codes>
    void only(Codes... codes) {
        static_assert(sizeof...(Codes) <= kMaxCodes);
        code_count_ = 0;
        ((codes_[code_count_++] = static_cast<uint32_t>(codes)), ...);
    }

    void set_owner(Owner* owner) { owner_ = owner; }

    void OnMessage(uint32_t code, void* record) override {
        if (owner_ == nullptr) return;
        if (code_count_ > 0) {
            bool wanted = false;
            for (int i = 0; i < code_count_; ++i) wanted = wanted || codes_[i] == code;
            if (!wanted) return;
        }
        (owner_->*handler_)(code, record);
    }

private:
    static constexpr int kMaxCodes = 16;
    Owner* owner_;
    Handler handler_;
    std::array<uint32_t, kMaxCodes> codes_{};
    int code_count_ = 0;
};

}  // namespace lorvex
