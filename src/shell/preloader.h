// The picture preloader: one worker thread that takes the latest request from
// the mailbox, decodes the wanted picture and then its neighbours into the
// picture cache, and invalidates the picture view. It never sends messages.
// The document owns it and calls post, start and stop on the user-interface
// thread; the decoder runs on the preloader thread.
#pragma once

#include <QImage>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "shell/doc_windows.h"
#include "shell/picture_cache.h"

namespace lorvex {

// Decodes one picture. Returns 1 with *picture set; 0 when there is nothing
// to decode (a database item whose data or name is missing), which is not
// reported; -1 when the picture cannot be decoded, with the codec's error
// text in *error. Runs on the preloader thread.
using PictureDecoder =
    std::function<int(const PictureRef& ref, QImage* picture, std::string* error)>;

class PreloaderThread {
  public:
    // cache and mailbox must outlive the preloader.
    PreloaderThread(PictureCache* cache, RequestMailbox* mailbox, PictureDecoder decoder);
    // Stops and joins the thread.
    ~PreloaderThread();
    PreloaderThread(const PreloaderThread&) = delete;
    PreloaderThread& operator=(const PreloaderThread&) = delete;

    // Where repaints and decode failures go; null drops them. May change
    // while the thread runs.
    void set_windows(DocWindows* windows) { windows_.store(windows); }

    // Starts the thread. 0, or -1 when it is already running or cannot start.
    [[nodiscard]] int start();
    // Sets the stop flag, wakes the thread and waits for it to end. A decode
    // in progress is finished first; nothing after it is started.
    void stop();
    bool running() const { return running_.load(); }
    // True from stop until the next start.
    bool stop_requested() const { return stop_.load(); }

    // Posts request (the latest one wins) and wakes the thread. -1 when
    // request is null.
    [[nodiscard]] int post(const PreloadRequest* request);

  private:
    void run();
    // Decodes ref and stores it with state kSlotCurrent (priority 1) or
    // kSlotNeighbour (priority 2). Returns 1 when a decode was attempted.
    int load(const PictureRef& ref, int priority);

    PictureCache* cache_;
    RequestMailbox* mailbox_;
    PictureDecoder decoder_;
    AutoResetEvent wake_;
    std::atomic<DocWindows*> windows_{nullptr};
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    PreloadRequest last_request_;  // preloader thread only
    std::thread thread_;
};

}  // namespace lorvex
