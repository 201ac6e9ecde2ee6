#pragma once
// Firmware upgrade on the session: the request for one module, the upload
// of its file, and the recorder's answers.
//
// FW_UPDATE_REQ carries the 56 bytes the upgrade window prepared. Once the
// recorder accepts, the owner starts the upload: a worker thread sends the
// file from its start in FW_DATA pieces of 8,000 bytes (the last one marked
// as the last fragment), without waiting between pieces, and reports its
// progress after each as FirmwareProgress. The answers go to the upgrade
// window as its window messages 21034-21039 (the reason in wparam).

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <thread>

#include "protocol/message_header.h"
#include "session/session_core.h"

namespace kalix::session {

inline constexpr std::size_t kFirmwareRequestSize = 56;
inline constexpr std::size_t kFirmwarePiece = 8000;

class FirmwareUpload {
public:
    explicit FirmwareUpload(SessionCore& core);
    ~FirmwareUpload();  // stops and joins the upload
    FirmwareUpload(const FirmwareUpload&) = delete;
    FirmwareUpload& operator=(const FirmwareUpload&) = delete;

    // FW_UPDATE_REQ; false when the payload is not 56 bytes or it could not
    // be sent.
    bool request(std::span<const std::uint8_t> payload);

    // Starts the worker for `file` (an upload still running is stopped
    // first). `tag` comes back in every FirmwareProgress. A file that cannot
    // be opened sends nothing: the worker reports its end at once.
    void startUpload(std::filesystem::path file, std::uint32_t tag);
    // Stops the worker before its next piece and joins it.
    void stopUpload();
    bool uploading() const { return running_.load(); }

    void onAnswer(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    void uploadThread(std::stop_token stop, std::filesystem::path file, std::uint32_t tag);

    SessionCore& core_;
    std::atomic<bool> running_{false};
    // -- owner's thread only --
    std::jthread worker_;
};

}  // namespace kalix::session
