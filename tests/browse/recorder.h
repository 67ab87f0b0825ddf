// A hub receiver for the browse tests: keeps a copy of every folder listing
// and the kind of every list-ready note it hears.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browse/folder_scan.h"
#include "hub/message_hub.h"
#include "hub/messages.h"

namespace lorvex::testing {

struct ListedCopy {
    int32_t count = 0;
    std::string folder;
    std::vector<std::string> names;
    std::vector<std::string> disk_names;
    std::vector<int32_t> formats;
};

class Recorder : public MessageReceiver {
  public:
    explicit Recorder(MessageHub* hub) : hub_(hub) { registered_ = hub_->Register(this) == 0; }
    ~Recorder() override {
        if (registered_) (void)hub_->Unregister(this);
    }

    void OnMessage(uint32_t code, void* record) override {
        if (code == MSG_LIST_READY && record != nullptr) {
            const auto* note = static_cast<const ListReadyNote*>(record);
            if (note->magic == kListReadyMagic) ready.push_back(note->kind);
        }
        if (code == MSG_FOLDER_LISTED && record != nullptr) {
            const auto* r = static_cast<const FolderListing*>(record);
            if (r->magic != kFolderListingMagic) return;
            ListedCopy copy;
            copy.count = r->count;
            copy.folder = r->folder;
            const bool readable = r->names != nullptr && r->formats != nullptr;
            for (int i = 0; readable && i < r->count; ++i) {
                copy.names.emplace_back(r->names[i]);
                copy.disk_names.emplace_back(r->disk_names != nullptr ? r->disk_names[i]
                                                                      : r->names[i]);
                copy.formats.push_back(r->formats[i]);
            }
            listed.push_back(copy);
        }
    }

    std::vector<int32_t> ready;      // kinds of MSG_LIST_READY, in order
    std::vector<ListedCopy> listed;  // every MSG_FOLDER_LISTED

  private:
    MessageHub* hub_;
    bool registered_ = false;
};

}  // namespace lorvex::testing
