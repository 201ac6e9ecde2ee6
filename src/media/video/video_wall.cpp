#include "media/video/video_wall.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kalix::media {

namespace detail {

struct WallChannel {
    // -- guarded by lock --
    std::mutex lock;
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(kPictureBufferBytes);
    PictureSize size{kInitialPictureWidth, kInitialPictureHeight};

    // -- guarded by the wall's caption_mutex_ --
    ChannelCaptions captions;

    std::atomic<int> audio_icon{static_cast<int>(AudioIcon::None)};
    std::atomic<int> watermark{kWatermarkUnknown};
    std::atomic<int> frame_counter{0};
    std::atomic<int> frame_rate{0};
    std::atomic<std::int64_t> pane_time{0};
};

}  // namespace detail

namespace {

constexpr bool validChannel(int channel) { return channel >= 0 && channel < kWallChannels; }
constexpr bool validPane(int pane) { return pane >= 0 && pane < kWallPanes; }
constexpr std::uint16_t bit(int index) { return static_cast<std::uint16_t>(1U << index); }
constexpr std::size_t at(int index) { return static_cast<std::size_t>(index); }

// The delivered channels beyond the recorder's channel count have no decoder
// and will never show a picture; keeping them out of the mask keeps them out
// of single view and dragging as well.
std::uint16_t belowCount(std::uint32_t mask, int channel_count) {
    const int count = std::clamp(channel_count, 0, kWallChannels);
    return static_cast<std::uint16_t>(mask & ((1U << count) - 1U));
}

int layoutForChannelCount(int channel_count) {
    if (channel_count <= 4) return 1;  // 4 panes
    if (channel_count <= 8) return 5;  // 8 panes
    return 14;                         // 16 panes
}

std::string clipCaption(std::string text) {
    if (text.size() > kCaptionCapacity) text.resize(kCaptionCapacity);
    return text;
}

}  // namespace

struct VideoWall::View {
    WallRect placement;
    int border = 1;
    WallColour background = kWallBackgroundColour;
    // Cells of one page of each layout, for the placed size.
    std::array<std::vector<WallRect>, kLayoutCount> cells;

    int channel_count = kWallChannels;
    PageTable pages = pageTableFor(kWallChannels, PageTableUse::Initialise);
    int layout = 14;
    int page = 0;
    std::uint16_t visible = 0xFFFF;
    std::array<int, kWallPanes> pane_map{};
    // The next choice of the current layout keeps its page: at the first
    // choice after construction and right after a single channel was chosen.
    bool hold_page = true;

    bool full_screen = false;
    WallRect saved_placement;

    bool single_view = false;  // the double-click single view is shown
    int saved_layout = 14;
    int saved_page = 0;
};

// ---------------------------------------------------------------------------
// ChannelAccess, subscriptions

std::span<std::uint8_t> ChannelAccess::picture() { return channel_->picture; }
std::span<const std::uint8_t> ChannelAccess::picture() const { return channel_->picture; }
PictureSize ChannelAccess::size() const { return channel_->size; }

bool ChannelAccess::setSize(PictureSize size) {
    if (size.width <= 0 || size.height <= 0) return false;
    const auto bytes = static_cast<std::uint64_t>(size.width) *
                       static_cast<std::uint64_t>(size.height) * 3U;
    if (bytes > kPictureBufferBytes) return false;
    channel_->size = size;
    return true;
}

void ChannelAccess::clear() { std::ranges::fill(channel_->picture, std::uint8_t{0}); }

WallSubscription::WallSubscription(WallSubscription&& other) noexcept
    : wall_(std::exchange(other.wall_, nullptr)),
      observer_(std::exchange(other.observer_, nullptr)) {}

WallSubscription& WallSubscription::operator=(WallSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        wall_ = std::exchange(other.wall_, nullptr);
        observer_ = std::exchange(other.observer_, nullptr);
    }
    return *this;
}

WallSubscription::~WallSubscription() { reset(); }

void WallSubscription::reset() {
    if (wall_ != nullptr) wall_->unsubscribe(observer_);
    wall_ = nullptr;
    observer_ = nullptr;
}

WallSubscription VideoWall::subscribe(WallObserver& observer) {
    std::lock_guard lock(observers_mutex_);
    observers_.push_back(&observer);
    return WallSubscription(this, &observer);
}

void VideoWall::unsubscribe(WallObserver* observer) {
    // Taking the list lock also waits for a notification in progress, so
    // the observer is never called after its subscription has ended.
    std::lock_guard lock(observers_mutex_);
    std::erase(observers_, observer);
}

void VideoWall::notifyWallChanged() {
    std::lock_guard lock(observers_mutex_);
    for (WallObserver* observer : observers_) observer->wallChanged();
}

void VideoWall::notifyChannelMarked(int channel) {
    std::lock_guard lock(observers_mutex_);
    for (WallObserver* observer : observers_) observer->channelMarked(channel);
}

// ---------------------------------------------------------------------------
// Set-up

VideoWall::VideoWall() : view_(std::make_unique<View>()) {
    for (auto& channel : channels_) channel = std::make_unique<detail::WallChannel>();
    for (int pane = 0; pane < kWallPanes; ++pane) view_->pane_map[at(pane)] = pane;
    setCaptionFont(13, 700, "Arial");
}

VideoWall::~VideoWall() = default;

void VideoWall::initialise(int channel_count) {
    for (auto& channel : channels_) {
        std::lock_guard lock(channel->lock);
        std::ranges::fill(channel->picture, std::uint8_t{0});
    }
    {
        std::lock_guard lock(view_mutex_);
        view_->channel_count = std::clamp(channel_count, 0, kWallChannels);
        view_->pages = pageTableFor(channel_count, PageTableUse::Initialise);
        view_->page = std::min(view_->page, pageCount(view_->pages, view_->layout) - 1);
        recomputeVisibleLocked();
    }
    notifyWallChanged();
}

void VideoWall::place(const WallRect& rect, int border, WallColour background) {
    {
        std::lock_guard lock(view_mutex_);
        view_->placement = rect;
        view_->border = std::max(border, 0);
        view_->background = background;
        recomputeCellsLocked();
    }
    notifyWallChanged();
}

void VideoWall::recomputeCellsLocked() {
    const WallRect& r = view_->placement;
    for (int layout = 0; layout < kLayoutCount; ++layout)
        view_->cells[at(layout)] = layoutCells(layout, r.width(), r.height(), view_->border);
}

WallRect VideoWall::placement() const {
    std::lock_guard lock(view_mutex_);
    return view_->placement;
}

int VideoWall::border() const {
    std::lock_guard lock(view_mutex_);
    return view_->border;
}

WallColour VideoWall::background() const {
    std::lock_guard lock(view_mutex_);
    return view_->background;
}

void VideoWall::setCaptionFont(int size, int weight, std::string_view face) {
    std::lock_guard lock(caption_mutex_);
    caption_font_height_ = -static_cast<int>(size * 1.33 + 0.5);
    caption_font_weight_ = weight;
    caption_font_face_ = std::string(face);
}

int VideoWall::captionFontHeight() const {
    std::lock_guard lock(caption_mutex_);
    return caption_font_height_;
}

int VideoWall::captionCharWidth() const {
    const int points = static_cast<int>((captionFontHeight() + 0.5) * -0.7518797);
    return static_cast<int>(points * 0.85);
}

bool VideoWall::enterFullScreen(const WallRect& monitor) {
    {
        std::lock_guard lock(view_mutex_);
        if (view_->full_screen) return false;
        view_->full_screen = true;
        view_->saved_placement = view_->placement;
        view_->placement = monitor;
        recomputeCellsLocked();
    }
    notifyWallChanged();
    return true;
}

bool VideoWall::leaveFullScreen() {
    {
        std::lock_guard lock(view_mutex_);
        if (!view_->full_screen) return false;
        view_->full_screen = false;
        view_->placement = view_->saved_placement;
        view_->border = 1;
        view_->background = kWallBackgroundColour;
        recomputeCellsLocked();
    }
    notifyWallChanged();
    return true;
}

bool VideoWall::fullScreen() const {
    std::lock_guard lock(view_mutex_);
    return view_->full_screen;
}

void VideoWall::setYuvAvailable(bool available) {
    yuv_available_ = available;
    if (!available) draw_path_ = static_cast<int>(DrawPath::Rgb);
}

bool VideoWall::setDrawPath(DrawPath wanted) {
    if (yuv_available_) {
        draw_path_ = static_cast<int>(wanted);
        return true;
    }
    draw_path_ = static_cast<int>(DrawPath::Rgb);
    return wanted == DrawPath::Rgb;
}

DrawPath VideoWall::drawPath() const { return static_cast<DrawPath>(draw_path_.load()); }

// ---------------------------------------------------------------------------
// Views

void VideoWall::startView(int channel_count) {
    {
        std::lock_guard lock(view_mutex_);
        view_->channel_count = std::clamp(channel_count, 0, kWallChannels);
        view_->pages = pageTableFor(channel_count, PageTableUse::ViewStart);
        view_->layout = layoutForChannelCount(channel_count);
        view_->page = 0;
        active_ = 0;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    notifyWallChanged();
}

void VideoWall::resetView() {
    {
        std::lock_guard lock(view_mutex_);
        view_->channel_count = kWallChannels;
        view_->pages = pageTableFor(kWallChannels, PageTableUse::ViewStart);
        view_->layout = 14;
        view_->page = 0;
        active_ = 0;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    notifyWallChanged();
}

void VideoWall::setDisplayMode(DisplayMode mode) { display_mode_ = static_cast<int>(mode); }
DisplayMode VideoWall::displayMode() const { return static_cast<DisplayMode>(display_mode_.load()); }
void VideoWall::setCaptionStyle(int style) { caption_style_ = style; }
int VideoWall::captionStyle() const { return caption_style_; }

int VideoWall::channelCount() const {
    std::lock_guard lock(view_mutex_);
    return view_->channel_count;
}

// ---------------------------------------------------------------------------
// Layouts and panes

void VideoWall::recomputeVisibleLocked() {
    view_->visible = visiblePanes(view_->layout, view_->page, view_->channel_count);
}

bool VideoWall::pageShowsActiveLocked() const {
    const std::uint16_t active = active_;
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((view_->visible & bit(pane)) != 0 && (active & bit(view_->pane_map[at(pane)])) != 0)
            return true;
    }
    return false;
}

bool VideoWall::selectLayout(int layout) {
    if (!isValidLayout(layout)) return false;
    {
        std::lock_guard lock(view_mutex_);
        View& v = *view_;
        const int pages = pageCount(v.pages, layout);
        if (layout != v.layout) {
            v.layout = layout;
            v.page = 0;
        } else if (!v.hold_page) {
            v.page = (v.page + 1) % pages;
        }
        v.page = std::min(v.page, pages - 1);
        v.hold_page = false;
        active_copy_ = 0;
        recomputeVisibleLocked();

        // Skip pages on which no pane shows a delivered channel.
        constexpr int kMaxPageAdvances = 17;
        if (active_ != 0) {
            int advances = 0;
            while (!pageShowsActiveLocked()) {
                if (++advances > kMaxPageAdvances) {
                    v.page = 0;
                    recomputeVisibleLocked();
                    break;
                }
                v.page = (v.page + 1) % pages;
                recomputeVisibleLocked();
            }
        }
    }
    notifyWallChanged();
    return true;
}

bool VideoWall::selectSingleChannel(int channel) {
    if (!validChannel(channel) || (active_ & bit(channel)) == 0) return false;
    {
        std::lock_guard lock(view_mutex_);
        View& v = *view_;
        const auto pane = std::ranges::find(v.pane_map, channel);
        if (pane == v.pane_map.end()) return false;
        v.layout = 0;
        v.page = static_cast<int>(pane - v.pane_map.begin());
        v.hold_page = true;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    notifyWallChanged();
    return true;
}

int VideoWall::layout() const {
    std::lock_guard lock(view_mutex_);
    return view_->layout;
}

int VideoWall::page() const {
    std::lock_guard lock(view_mutex_);
    return view_->page;
}

PageTable VideoWall::pageTable() const {
    std::lock_guard lock(view_mutex_);
    return view_->pages;
}

std::uint16_t VideoWall::visiblePaneMask() const {
    std::lock_guard lock(view_mutex_);
    return view_->visible;
}

std::uint16_t VideoWall::visibleChannels() const {
    std::lock_guard lock(view_mutex_);
    std::uint16_t channels = 0;
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((view_->visible & bit(pane)) != 0) channels |= bit(view_->pane_map[at(pane)]);
    }
    return channels;
}

bool VideoWall::isChannelVisible(int channel) const {
    return validChannel(channel) && (visibleChannels() & bit(channel)) != 0;
}

std::array<int, kWallPanes> VideoWall::paneMap() const {
    std::lock_guard lock(view_mutex_);
    return view_->pane_map;
}

std::vector<std::unique_lock<std::mutex>> VideoWall::lockAllChannels() {
    std::vector<std::unique_lock<std::mutex>> locks;
    locks.reserve(channels_.size());
    for (auto& channel : channels_) locks.emplace_back(channel->lock);
    return locks;
}

bool VideoWall::exchangePanes(int pane_a, int pane_b) {
    if (!validPane(pane_a) || !validPane(pane_b)) return false;
    {
        // A pane is painted under its channel's lock; holding all of them
        // keeps every painter's idea of its channel stable.
        const auto channel_locks = lockAllChannels();
        std::lock_guard lock(view_mutex_);
        std::swap(view_->pane_map[at(pane_a)], view_->pane_map[at(pane_b)]);
    }
    notifyWallChanged();
    return true;
}

void VideoWall::restoreIdentityMap() {
    {
        const auto channel_locks = lockAllChannels();
        std::lock_guard lock(view_mutex_);
        for (int pane = 0; pane < kWallPanes; ++pane) view_->pane_map[at(pane)] = pane;
    }
    notifyWallChanged();
}

std::optional<WallRect> VideoWall::paneRect(int pane) const {
    std::lock_guard lock(view_mutex_);
    const auto index = cellIndexOfPane(view_->layout, view_->page, pane);
    const auto& cells = view_->cells[at(view_->layout)];
    if (!index || at(*index) >= cells.size()) return std::nullopt;
    return cells[at(*index)];
}

std::optional<PictureSize> VideoWall::paneSizeOfChannel(int channel) const {
    if (!validChannel(channel)) return std::nullopt;
    int pane = 0;
    {
        std::lock_guard lock(view_mutex_);
        pane = static_cast<int>(std::ranges::find(view_->pane_map, channel) -
                                view_->pane_map.begin());
    }
    const auto rect = paneRect(pane);
    if (!rect) return std::nullopt;
    return PictureSize{rect->width(), rect->height()};
}

// ---------------------------------------------------------------------------
// Pointer

std::optional<int> VideoWall::paneAtLocked(int x, int y) const {
    const View& v = *view_;
    const std::uint16_t active = active_;
    const auto& cells = v.cells[at(v.layout)];
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((v.visible & bit(pane)) == 0 || (active & bit(v.pane_map[at(pane)])) == 0) continue;
        const auto index = cellIndexOfPane(v.layout, v.page, pane);
        if (index && at(*index) < cells.size() && cells[at(*index)].contains(x, y)) return pane;
    }
    return std::nullopt;
}

std::optional<int> VideoWall::paneAt(int x, int y) const {
    std::lock_guard lock(view_mutex_);
    return paneAtLocked(x, y);
}

std::optional<int> VideoWall::beginDrag(int x, int y) const {
    std::lock_guard lock(view_mutex_);
    if (view_->layout == 0) return std::nullopt;
    return paneAtLocked(x, y);
}

bool VideoWall::dropPane(int dragged_pane, int x, int y) {
    if (!validPane(dragged_pane)) return false;
    std::optional<int> target;
    {
        std::lock_guard lock(view_mutex_);
        if (view_->layout == 0) return false;
        target = paneAtLocked(x, y);
    }
    if (!target || *target == dragged_pane) return false;
    return exchangePanes(dragged_pane, *target);
}

DoubleClickResult VideoWall::doubleClick(std::optional<int> last_hit_pane) {
    bool restored = false;
    int channel = 0;
    int layout = 0;
    int page = 0;
    {
        std::lock_guard lock(view_mutex_);
        View& v = *view_;
        if (v.single_view) {
            v.single_view = false;
            v.layout = v.saved_layout;
            v.page = std::min(v.saved_page, pageCount(v.pages, v.layout) - 1);
            recomputeVisibleLocked();
            restored = true;
        } else {
            if (!last_hit_pane || !validPane(*last_hit_pane) || v.layout == 0)
                return DoubleClickResult::Nothing;
            channel = v.pane_map[at(*last_hit_pane)];
            layout = v.layout;
            page = v.page;
        }
    }
    if (restored) {
        notifyWallChanged();
        return DoubleClickResult::Restored;
    }
    if (!selectSingleChannel(channel)) return DoubleClickResult::Nothing;
    {
        std::lock_guard lock(view_mutex_);
        view_->saved_layout = layout;
        view_->saved_page = page;
        view_->single_view = true;
    }
    return DoubleClickResult::SingleView;
}

bool VideoWall::singleViewActive() const {
    std::lock_guard lock(view_mutex_);
    return view_->single_view;
}

void VideoWall::clearSingleView() {
    std::lock_guard lock(view_mutex_);
    view_->single_view = false;
}

// ---------------------------------------------------------------------------
// Channel masks

bool VideoWall::setActiveChannels(std::uint32_t mask, MapReset reset) {
    const std::uint16_t active = belowCount(mask, channelCount());
    const bool changed = active_.exchange(active) != active;
    active_copy_ = active;
    if (reset == MapReset::IdentityWhenEmpty && active == 0) restoreIdentityMap();
    if (changed) notifyWallChanged();
    return changed;
}

std::uint16_t VideoWall::activeChannels() const { return active_; }
std::uint16_t VideoWall::activeCopy() const { return active_copy_; }
std::uint16_t VideoWall::pictureChannels() const { return picture_mask_; }
void VideoWall::clearPictureMask() { picture_mask_ = 0; }

void VideoWall::clearPictures() {
    for (auto& channel : channels_) {
        std::lock_guard lock(channel->lock);
        std::ranges::fill(channel->picture, std::uint8_t{0});
    }
    picture_mask_ = 0;
    notifyWallChanged();
}

bool VideoWall::setChannelHidden(int channel, bool hidden) {
    if (!validChannel(channel)) return false;
    const std::uint16_t before = hidden ? hidden_.fetch_or(bit(channel))
                                        : hidden_.fetch_and(static_cast<std::uint16_t>(~bit(channel)));
    return ((before & bit(channel)) != 0) != hidden;
}

bool VideoWall::setHiddenChannels(std::uint16_t mask) { return hidden_.exchange(mask) != mask; }
std::uint16_t VideoWall::hiddenChannels() const { return hidden_; }

std::uint32_t VideoWall::withoutHiddenChannels(std::uint32_t live_mask) const {
    return live_mask & ~static_cast<std::uint32_t>(hidden_.load());
}

std::uint16_t VideoWall::channelsToSave() const {
    return static_cast<std::uint16_t>(visibleChannels() & active_);
}

// ---------------------------------------------------------------------------
// Decoder side

std::optional<ChannelAccess> VideoWall::lockChannel(int channel) {
    if (!validChannel(channel)) return std::nullopt;
    detail::WallChannel& c = *channels_[at(channel)];
    return ChannelAccess(std::unique_lock(c.lock), c);
}

std::optional<PictureSize> VideoWall::pictureSize(int channel) {
    auto access = lockChannel(channel);
    if (!access) return std::nullopt;
    return access->size();
}

void VideoWall::markChannel(int channel) {
    if (!validChannel(channel)) return;
    active_ |= bit(channel);
    active_copy_ |= bit(channel);
    picture_mask_ |= bit(channel);
    notifyChannelMarked(channel);
}

bool VideoWall::storeCaptions(int channel, const ChannelCaptions& captions) {
    if (!validChannel(channel)) return false;
    ChannelCaptions clipped{{clipCaption(captions.line1.text), captions.line1.colour},
                            {clipCaption(captions.line2.text), captions.line2.colour},
                            captions.box_width};
    std::lock_guard lock(caption_mutex_);
    channels_[at(channel)]->captions = std::move(clipped);
    return true;
}

std::optional<ChannelCaptions> VideoWall::captions(int channel) const {
    if (!validChannel(channel)) return std::nullopt;
    std::lock_guard lock(caption_mutex_);
    return channels_[at(channel)]->captions;
}

bool VideoWall::setAudioIcon(int channel, AudioIcon icon) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->audio_icon = static_cast<int>(icon);
    return true;
}

AudioIcon VideoWall::audioIcon(int channel) const {
    if (!validChannel(channel)) return AudioIcon::None;
    return static_cast<AudioIcon>(channels_[at(channel)]->audio_icon.load());
}

void VideoWall::setAudioIconX(int x) { audio_icon_x_ = x; }
int VideoWall::audioIconX() const { return audio_icon_x_; }

bool VideoWall::setWatermarkState(int channel, int state) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->watermark = state;
    return true;
}

int VideoWall::watermarkState(int channel) const {
    if (!validChannel(channel)) return kWatermarkUnknown;
    return channels_[at(channel)]->watermark;
}

void VideoWall::countFrame(int channel) {
    if (validChannel(channel)) ++channels_[at(channel)]->frame_counter;
}

int VideoWall::frameRate(int channel) const {
    if (!validChannel(channel)) return 0;
    return channels_[at(channel)]->frame_rate;
}

void VideoWall::tickFrameRates() {
    for (auto& channel : channels_)
        channel->frame_rate = (channel->frame_counter.exchange(0) + 1) / 2;
}

bool VideoWall::setPaneTime(int channel, std::int64_t time) {
    if (!validChannel(channel)) return false;
    channels_[at(channel)]->pane_time = time;
    return true;
}

std::int64_t VideoWall::paneTime(int channel) const {
    if (!validChannel(channel)) return 0;
    return channels_[at(channel)]->pane_time;
}

void VideoWall::setChromaOrder(int order) { chroma_order_ = order; }
int VideoWall::chromaOrder() const { return chroma_order_; }

// ---------------------------------------------------------------------------
// Painting

std::vector<PaneView> VideoWall::paneViews(const PaintContext& context) const {
    std::vector<PaneView> views;
    std::lock_guard view_lock(view_mutex_);
    const View& v = *view_;
    const auto& cells = v.cells[at(v.layout)];
    const int first = firstPaneOfPage(v.layout, v.page);
    const std::uint16_t active = active_copy_;
    const std::uint16_t pictures = picture_mask_;
    const std::uint16_t hidden = hidden_;
    const int style = caption_style_;
    const auto mode = static_cast<DisplayMode>(display_mode_.load());
    const bool playback = mode == DisplayMode::RemotePlayback || mode == DisplayMode::LocalPlayback;
    const bool viewing =
        context.session == SessionView::Live || context.session == SessionView::RemotePlayback;

    std::lock_guard caption_lock(caption_mutex_);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        PaneView view;
        view.cell = cells[i];
        const int pane = first + static_cast<int>(i);
        if (!validPane(pane) || (v.visible & bit(pane)) == 0) {
            views.push_back(std::move(view));
            continue;
        }
        const int channel = v.pane_map[at(pane)];
        const detail::WallChannel& c = *channels_[at(channel)];
        const bool is_hidden = (hidden & bit(channel)) != 0;
        view.pane = pane;
        view.channel = channel;

        if ((active & bit(channel)) != 0) {
            if (viewing && is_hidden)
                view.content = PaneContent::VideoLoss;
            else if ((pictures & bit(channel)) != 0)
                view.content = PaneContent::Picture;
        } else if (context.session == SessionView::Live) {
            if ((context.video_loss & bit(channel)) != 0) {
                view.content = PaneContent::VideoLoss;
                if ((context.video_loss_text & bit(channel)) != 0 && (style == 0 || style == 1)) {
                    char text[32];
                    std::snprintf(text, sizeof text, style == 0 ? "CH%d  Video Loss" : "CH%d",
                                  channel + 1);
                    view.texts.push_back({text, 7, 3, kVideoLossTextColour});
                }
            } else if (is_hidden) {
                view.content = PaneContent::VideoLoss;
            }
        } else if (context.session == SessionView::RemotePlayback && is_hidden) {
            view.content = PaneContent::VideoLoss;
        }

        if (view.content == PaneContent::Picture) {
            const int cell_height = view.cell.height();
            if (style == 0 || style == 1)
                view.texts.push_back({c.captions.line1.text, 7, 3, c.captions.line1.colour});
            if (style == 0) {
                view.texts.push_back({c.captions.line2.text, 7,
                                      cell_height + caption_font_height_ - 5,
                                      c.captions.line2.colour});
                const int row_y = cell_height - 18;
                view.status_row_y = row_y;
                const int icon = c.audio_icon;
                if (context.sound_output && icon != static_cast<int>(AudioIcon::None))
                    view.audio_icon = IconOverlay{icon, audio_icon_x_, row_y};
                view.speed_indicator = playback && view.cell.width() > 190;
                const int watermark = c.watermark;
                if (mode == DisplayMode::LocalPlayback && watermark != kWatermarkUnknown)
                    view.watermark_icon = IconOverlay{watermark, c.captions.box_width, row_y};
            }
            if (mode == DisplayMode::LocalPlayback && c.watermark == kWatermarkMismatch) {
                view.watermark_warning = true;
                view.warning_font_height = view.cell.width() / 8;
            }
        }
        views.push_back(std::move(view));
    }
    return views;
}

}  // namespace kalix::media
