#include "archive/mp4_export.h"

#include <system_error>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/mp4_writer.h"
#include "media/video/stream_header_writer.h"
#include "protocol/byte_order.h"

namespace kalix::archive {
namespace {

constexpr std::size_t kEncHeaderAt = 128;
constexpr std::size_t kFrameKindByte = kEncHeaderAt + 2;  // bits 6-7
constexpr std::size_t kSecondsAt = kEncHeaderAt + 20;     // little-endian
constexpr std::size_t kMicrosecondsAt = kEncHeaderAt + 24;
constexpr std::uint8_t kKeyFrame = 0;
constexpr std::uint8_t kNeverShown = 3;
// Times that do not rise are moved on by this much, so that the file stays
// playable; a recorder's clock step backwards would otherwise end it.
constexpr std::int64_t kMinimumStepUs = 1000;

std::uint8_t frameKind(const UnitHeader& u) { return static_cast<std::uint8_t>(u.bytes[kFrameKindByte] >> 6); }

std::int64_t encTimeUs(const UnitHeader& u) {
    const auto seconds = protocol::le32(u.bytes.data() + kSecondsAt);
    const auto micro = protocol::le32(u.bytes.data() + kMicrosecondsAt);
    return std::int64_t{seconds} * 1'000'000 + std::int64_t{micro};
}

class Exporter {
public:
    Exporter(const LocalCatalogue& catalogue, const ExportRequest& request,
             const std::function<void(const ExportProgress&)>& progress, std::stop_token stop)
        : catalogue_(catalogue), request_(request), progress_(progress), stop_(std::move(stop)) {}

    ExportResult run() {
        std::optional<std::size_t> first;
        if (request_.from)
            first = catalogue_.startSegment(*request_.from);
        else if (!catalogue_.segments.empty())
            first = 0;
        if (!first) return noKeyFrame();

        for (std::size_t s = *first; s < catalogue_.segments.size(); ++s) {
            const PlaySegment& seg = catalogue_.segments[s];
            const std::uint64_t from = s == *first ? seg.start_offset : seg.block_begin;
            if (seg.block_end > from) total_bytes_ += seg.block_end - from;
        }
        for (std::size_t s = *first; s < catalogue_.segments.size() && !done_; ++s) {
            const PlaySegment& seg = catalogue_.segments[s];
            if (!walkSegment(seg, s == *first ? seg.start_offset : seg.block_begin)) break;
        }
        if (result_.failure == ExportFailure::None && stop_.stop_requested()) fail(ExportFailure::Cancelled, "cancelled");
        if (result_.failure != ExportFailure::None) return discard();
        if (!writer_) return noKeyFrame();
        if (!writer_->finish()) return discard(ExportFailure::WriteFailed, writer_->error());
        writer_.reset();
        std::error_code ec;
        std::filesystem::rename(temp_, request_.out, ec);
        if (ec) return discard(ExportFailure::WriteFailed, ec.message());
        report(true);
        return result_;
    }

private:
    bool fail(ExportFailure failure, std::string reason) {
        result_.failure = failure;
        result_.reason = std::move(reason);
        return false;
    }

    ExportResult noKeyFrame() {
        fail(ExportFailure::NoKeyFrame, "no key frame of channel " + std::to_string(request_.channel + 1) +
                                            " in the chosen range");
        return discard();
    }

    ExportResult discard(ExportFailure failure = ExportFailure::None, std::string reason = {}) {
        if (failure != ExportFailure::None) fail(failure, std::move(reason));
        writer_.reset();
        if (!temp_.empty()) {
            std::error_code ec;
            std::filesystem::remove(temp_, ec);
        }
        result_.frames = 0;
        return result_;
    }

    ArchivePair* pairOf(const PlaySegment& seg) {
        if (open_pair_ != seg.pair || !pair_) {
            pair_ = std::make_unique<ArchivePair>();
            open_pair_ = seg.pair;
            if (!pair_->open(catalogue_.pairs.at(seg.pair).idx_path)) return nullptr;
        }
        return pair_.get();
    }

    bool walkSegment(const PlaySegment& seg, std::uint64_t offset) {
        ArchivePair* pair = pairOf(seg);
        if (!pair) return fail(ExportFailure::Damaged, seg.media_path.string() + ": " + pair_->failure());
        std::vector<std::uint8_t> payload;
        while (offset < seg.block_end) {
            if (stop_.stop_requested()) return false;
            const UnitRead read = pair->readUnit(offset);
            if (!read.unit)
                return fail(ExportFailure::Damaged, seg.media_path.string() + " at " + std::to_string(offset) + ": " +
                                                        toString(read.damage));
            const UnitHeader& u = *read.unit;
            const std::uint64_t next = u.next();
            done_bytes_ += next - offset;
            offset = next;
            if (u.kind != UnitKind::Video || u.channel() != request_.channel) continue;
            if (frameKind(u) == kNeverShown || u.decodeOnly() == 1 || !decoderTakesSize(u.width(), u.height()))
                continue;
            if (request_.to && u.time > *request_.to) {
                done_ = true;
                return true;
            }
            if (!writer_ && frameKind(u) != kKeyFrame) continue;
            if (writer_ && (u.width() != result_.width || u.height() != result_.height)) {
                done_ = true;
                return true;
            }
            payload.resize(u.payload_len);
            if (!pair->readPayload(u, payload))
                return fail(ExportFailure::Damaged, seg.media_path.string() + " at " + std::to_string(u.offset) +
                                                        ": payload cannot be read");
            if (!writer_ && !startFile(u)) return false;
            std::int64_t pts = encTimeUs(u) - first_us_;
            if (result_.frames > 0 && pts < last_pts_ + kMinimumStepUs) pts = last_pts_ + kMinimumStepUs;
            if (!writer_->addFrame(payload, frameKind(u) == kKeyFrame, pts))
                return fail(ExportFailure::WriteFailed, writer_->error());
            last_pts_ = pts;
            ++result_.frames;
            report(false);
        }
        return true;
    }

    bool startFile(const UnitHeader& u) {
        result_.width = u.width();
        result_.height = u.height();
        media::StreamHeaderWriter headers;
        const auto sets = splitAnnexB(headers.writeParameterSets(u.width(), u.height()));
        if (sets.size() != 2) return fail(ExportFailure::WriteFailed, "no parameter sets for this picture size");
        const auto avcc = makeAvcC(sets[0], sets[1]);
        temp_ = request_.out;
        temp_ += ".part";
        writer_ = std::make_unique<Mp4Writer>();
        if (!writer_->open(temp_, u.width(), u.height(), avcc))
            return fail(ExportFailure::WriteFailed, request_.out.string() + ": " + writer_->error());
        first_us_ = encTimeUs(u);
        return true;
    }

    void report(bool final) {
        if (!progress_) return;
        if (!final && result_.frames % 25 != 0) return;
        ExportProgress p;
        p.frames = result_.frames;
        p.percent = final || total_bytes_ == 0 ? 100u : static_cast<unsigned>(done_bytes_ * 100 / total_bytes_);
        progress_(p);
    }

    const LocalCatalogue& catalogue_;
    const ExportRequest& request_;
    const std::function<void(const ExportProgress&)>& progress_;
    std::stop_token stop_;

    std::unique_ptr<ArchivePair> pair_;
    std::size_t open_pair_ = 0;
    std::unique_ptr<Mp4Writer> writer_;
    std::filesystem::path temp_;
    std::int64_t first_us_ = 0;
    std::int64_t last_pts_ = 0;
    std::uint64_t total_bytes_ = 0;
    std::uint64_t done_bytes_ = 0;
    bool done_ = false;
    ExportResult result_;
};

}  // namespace

const char* toString(ExportFailure failure) {
    switch (failure) {
    case ExportFailure::None: return "none";
    case ExportFailure::NoKeyFrame: return "no key frame";
    case ExportFailure::Damaged: return "damaged archive";
    case ExportFailure::WriteFailed: return "write failed";
    case ExportFailure::Cancelled: return "cancelled";
    }
    return "?";
}

bool decoderTakesSize(unsigned width, unsigned height) {
    if (width == 352 || width == 360) return height == 240 || height == 288;
    if (width == 704 || width == 720) return height == 240 || height == 288 || height == 480 || height == 576;
    return false;
}

ExportResult exportMp4(const LocalCatalogue& catalogue, const ExportRequest& request,
                       const std::function<void(const ExportProgress&)>& progress, std::stop_token stop) {
    return Exporter(catalogue, request, progress, std::move(stop)).run();
}

}  // namespace kalix::archive
