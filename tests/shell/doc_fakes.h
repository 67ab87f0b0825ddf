// Test doubles for the shell tests: windows that record what the document
// and the preloader ask of them, and a decoder that can be held at its
// start to make a decode "slow" for as long as a test needs.
#pragma once

#include <QImage>
#include <QImageReader>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "shell/doc_windows.h"
#include "shell/picture_cache.h"
#include "shell/preloader.h"
#include "shell/workspace.h"

namespace lorvex::testing {

// Generous bound for waits on the other thread, so that a broken build
// fails instead of hanging; never a statement about speed.
constexpr auto kPatience = std::chrono::seconds(20);

class RecordingWindows : public DocWindows {
  public:
    explicit RecordingWindows(Workspace* workspace) : workspace_(workspace) {}

    // Called by ShowPictureView before the switch, as the real window asks
    // the document for its current picture.
    std::function<void()> on_show_picture;

    void ShowThumbnailView() override {
        log("ShowThumbnailView");
        workspace_->set_pictureShown(false);
    }
    void ShowPictureView() override {
        log("ShowPictureView");
        if (on_show_picture) on_show_picture();
        workspace_->set_pictureShown(true);
    }
    void RepaintThumbnails() override {
        if (!workspace_->pictureShown()) log("RepaintThumbnails");
    }
    void RepaintPicture() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++picture_repaints_;
        cv_.notify_all();
    }
    void StartThumbnailLoad() override { log("StartThumbnailLoad"); }
    void SetStatusText(int pane, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        panes_[pane] = text;
    }
    void SetTitle(const std::string& title) override {
        std::lock_guard<std::mutex> lock(mutex_);
        title_ = title;
    }
    void ReportDecodeFailure(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back(text);
        cv_.notify_all();
    }

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void clear_calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    std::string pane(int index) {
        std::lock_guard<std::mutex> lock(mutex_);
        return panes_[index];
    }
    std::string title() {
        std::lock_guard<std::mutex> lock(mutex_);
        return title_;
    }
    std::vector<std::string> reports() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }
    int picture_repaints() {
        std::lock_guard<std::mutex> lock(mutex_);
        return picture_repaints_;
    }

    // Waits until done() holds, rechecking after every repaint or report and
    // every few milliseconds. false when kPatience passes first.
    bool wait_until(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(5));
        }
        return true;
    }

  private:
    void log(const std::string& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }

    Workspace* workspace_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> calls_;
    std::map<int, std::string> panes_;
    std::string title_;
    std::vector<std::string> reports_;
    int picture_repaints_ = 0;
};

// Wraps a decoder; records the pictures it is asked for (the file name, or
// "slot:item") and can hold every decode at its start until let go.
class HeldDecoder {
  public:
    explicit HeldDecoder(PictureDecoder inner) : inner_(std::move(inner)) {}

    PictureDecoder decoder() {
        return [this](const PictureRef& ref, QImage* picture, std::string* error) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                asked_.push_back(name_of(ref));
                cv_.notify_all();
                cv_.wait(lock, [this] { return !holding_; });
            }
            return inner_(ref, picture, error);
        };
    }

    void hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = true;
    }
    void let_go() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        cv_.notify_all();
    }
    // Waits until at least count decodes have started.
    bool wait_asked(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, kPatience, [&] { return asked_.size() >= count; });
    }
    std::vector<std::string> asked() {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_;
    }

    static std::string name_of(const PictureRef& ref) {
        if (ref.kind == kRefDatabase) {
            return std::to_string(ref.db_slot) + ":" + std::to_string(ref.item_id);
        }
        std::string path(ref.path, static_cast<size_t>(ref.path_length));
        const size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

  private:
    PictureDecoder inner_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool holding_ = false;
    std::vector<std::string> asked_;
};

// The name of the picture the cache marks current, or "" when none is.
inline std::string current_name(PictureCache* cache) {
    CurrentPicture current(cache);
    if (current.slot() == nullptr) return "";
    PictureRef ref;
    ref.kind = current.slot()->kind;
    std::memcpy(ref.path, current.slot()->path, sizeof(ref.path));
    ref.path_length = current.slot()->path_length;
    ref.db_slot = current.slot()->db_slot;
    ref.item_id = current.slot()->item_id;
    return HeldDecoder::name_of(ref);
}

}  // namespace lorvex::testing
