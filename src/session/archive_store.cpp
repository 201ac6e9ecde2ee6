#include "session/archive_store.h"

#include "archive/archive_writer.h"

namespace kalix::session {
namespace {

class WriterStore final : public ArchiveStore {
public:
    explicit WriterStore(archive::WriterOptions options) : writer_(std::move(options)) {}

    bool open() override { return writer_.open(); }
    bool add(std::span<const std::uint8_t> unit) override {
        return writer_.appendUnit(unit) != archive::UnitResult::Failed;
    }
    void close() override { writer_.close(); }
    std::string error() const override {
        const auto& e = writer_.error();
        if (!e) return {};
        return e->text;
    }

private:
    archive::ArchiveWriter writer_;
};

}  // namespace

ArchiveStoreFactory archiveStoreIn(std::filesystem::path folder, std::uint64_t split_bytes) {
    return [folder = std::move(folder), split_bytes](std::int32_t recorder_kind,
                                                     std::function<void(const ArchivePairClosed&)> closed) {
        archive::WriterOptions options;
        options.folder = folder;
        options.recorder_kind = recorder_kind;
        options.split_bytes = split_bytes;
        options.on_pair_closed = [closed = std::move(closed)](const archive::PairStats& stats) {
            if (!closed) return;
            ArchivePairClosed pair;
            pair.idx = stats.idx_path.string();
            pair.vid = stats.vid_path.string();
            pair.split_in = stats.split_in;
            pair.split_out = stats.split_out;
            pair.blocks = stats.blocks;
            pair.video_units = stats.video_units;
            pair.audio_units = stats.audio_units;
            pair.events = stats.events;
            closed(pair);
        };
        return std::make_unique<WriterStore>(std::move(options));
    };
}

}  // namespace kalix::session
