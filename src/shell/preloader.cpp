// The preloader loop. It sleeps on the wake-up event; once woken it looks at
// the mailbox before every pass: a new request makes its current picture the
// cache's current slot (from the cache, or decoded), anything else lets it
// decode the missing neighbours of the last request, and a pass that decoded
// nothing puts it back to sleep. Only the latest request counts: requests
// posted while a decode runs overwrite each other in the mailbox.
//
// A decode failure is reported for the wanted picture only; a neighbour that
// fails is passed over quietly and reported when it is wanted itself.
#include "shell/preloader.h"

#include <system_error>
#include <utility>

namespace lorvex {

PreloaderThread::PreloaderThread(PictureCache* cache, RequestMailbox* mailbox,
                                 PictureDecoder decoder)
    : cache_(cache), mailbox_(mailbox), decoder_(std::move(decoder)) {}

PreloaderThread::~PreloaderThread() {
    stop();
}

int PreloaderThread::start() {
    if (thread_.joinable() || cache_ == nullptr || mailbox_ == nullptr || !decoder_) return -1;
    stop_.store(false);
    try {
        running_.store(true);
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        running_.store(false);
        return -1;
    }
    return 0;
}

void PreloaderThread::stop() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    wake_.signal();
    thread_.join();
}

int PreloaderThread::post(const PreloadRequest* request) {
    if (mailbox_ == nullptr || mailbox_->post(request) != 0) return -1;
    wake_.signal();
    return 0;
}

int PreloaderThread::load(const PictureRef& ref, int priority) {
    QImage picture;
    std::string error;
    const int decoded = decoder_(ref, &picture, &error);
    if (decoded == 0) return 1;  // nothing to decode: nothing loaded, nothing shown
    if (decoded < 0 || picture.isNull()) {
        if (priority == 1) {
            DocWindows* windows = windows_.load();
            if (windows != nullptr) windows->ReportDecodeFailure(error);
        }
        return 1;
    }
    (void)cache_->store(ref, picture, priority == 1 ? kSlotCurrent : kSlotNeighbour);
    return 1;
}

void PreloaderThread::run() {
    wake_.wait();
    PreloadRequest taken;
    while (!stop_.load()) {
        if (mailbox_->take(&taken) != 0) {
            if (taken.live == 0) break;
            last_request_ = taken;
            if (cache_->make_current_if_cached(last_request_.current) == 0) {
                (void)load(last_request_.current, 1);
            }
            DocWindows* windows = windows_.load();
            if (windows != nullptr) windows->RepaintPicture();
            continue;
        }
        int loads = 0;
        const int count = last_request_.neighbour_count < 0   ? 0
                          : last_request_.neighbour_count > 2 ? 2
                                                              : last_request_.neighbour_count;
        for (int i = 0; i < count && !stop_.load(); ++i) {
            PictureRef& neighbour = last_request_.neighbours[i];
            if (neighbour.valid == 0 || neighbour.done != 0) continue;
            if (cache_->find(neighbour) < 0) loads += load(neighbour, 2);
            neighbour.done = 1;
        }
        if (loads == 0 && !stop_.load()) wake_.wait();
    }
    running_.store(false);
}

}  // namespace lorvex
