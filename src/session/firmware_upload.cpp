#include "session/firmware_upload.h"

#include <fstream>
#include <vector>

#include "protocol/transport.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

FirmwareUpload::FirmwareUpload(SessionCore& core) : core_(core) {
    DispatchTable& table = core_.handlers();
    for (Code code : {Code::FW_UPDATE_ACK, Code::FW_UPDATE_NACK, Code::FW_DATA_RX_DONE, Code::FW_DATA_RX_FAIL,
                      Code::FW_UPDATE_DONE, Code::FW_UPDATE_FAIL})
        table.on(code, [this](const auto& h, auto p) { onAnswer(h, p); });
}

FirmwareUpload::~FirmwareUpload() { stopUpload(); }

bool FirmwareUpload::request(std::span<const std::uint8_t> payload) {
    if (payload.size() != kFirmwareRequestSize) return false;
    return core_.send(Code::FW_UPDATE_REQ, payload);
}

void FirmwareUpload::startUpload(std::filesystem::path file, std::uint32_t tag) {
    stopUpload();
    running_ = true;
    worker_ = std::jthread([this, file = std::move(file), tag](std::stop_token stop) {
        uploadThread(stop, file, tag);
    });
}

void FirmwareUpload::stopUpload() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

void FirmwareUpload::uploadThread(std::stop_token stop, std::filesystem::path file, std::uint32_t tag) {
    FirmwareProgress progress;
    progress.tag = tag;
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const auto size = in ? std::filesystem::file_size(file, ec) : 0;
    if (!in || ec) {
        progress.end = FirmwareProgress::End::NotOpened;
        running_ = false;
        core_.post(progress);
        return;
    }
    progress.size = size;
    std::vector<std::uint8_t> piece(kFirmwarePiece);
    std::uint64_t sent = 0;
    while (sent < size) {
        if (stop.stop_requested()) {
            progress.end = FirmwareProgress::End::Stopped;
            break;
        }
        const std::uint64_t left = size - sent;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kFirmwarePiece));
        const bool last = left <= kFirmwarePiece;
        in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(n));
        if (static_cast<std::size_t>(in.gcount()) != n) {
            // The file shrank under us: what is left of it is not sent as if
            // it were the rest.
            progress.end = FirmwareProgress::End::ReadFailed;
            break;
        }
        const auto header = MessageHeader::make(Code::FW_DATA, static_cast<std::uint16_t>(n),
                                                last ? protocol::Fragment::Last : protocol::Fragment::More);
        if (!core_.send(header, std::span<const std::uint8_t>(piece.data(), n))) {
            progress.end = FirmwareProgress::End::SendFailed;
            break;
        }
        sent += n;
        progress.sent = sent;
        progress.percent = last ? 100 : static_cast<int>(sent * 100 / size);
        if (!last) core_.post(progress);
        std::this_thread::yield();
    }
    if (sent == size) progress.end = FirmwareProgress::End::Complete;
    running_ = false;
    core_.post(progress);
}

void FirmwareUpload::onAnswer(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const auto code = static_cast<Code>(header.code());
    WindowPost post{WindowMessage::FirmwareAccepted, Owner::Firmware};
    switch (code) {
    case Code::FW_UPDATE_ACK: post.message = WindowMessage::FirmwareAccepted; break;
    case Code::FW_UPDATE_NACK: post.message = WindowMessage::FirmwareRefused; break;
    case Code::FW_DATA_RX_DONE: post.message = WindowMessage::FirmwareDataReceived; break;
    case Code::FW_DATA_RX_FAIL: post.message = WindowMessage::FirmwareDataFailed; break;
    case Code::FW_UPDATE_DONE: post.message = WindowMessage::FirmwareDone; break;
    case Code::FW_UPDATE_FAIL: post.message = WindowMessage::FirmwareFailed; break;
    default: return;
    }
    if (code == Code::FW_UPDATE_NACK || code == Code::FW_DATA_RX_FAIL || code == Code::FW_UPDATE_FAIL)
        post.wparam = static_cast<std::uint32_t>(protocol::ReplyCode(payload));
    core_.post(post);
}

}  // namespace kalix::session
