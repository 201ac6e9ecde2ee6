#include "sim/sim_config.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "sim/fault_injection.h"
#include "sim/sim_arguments.h"

namespace kalix::sim {
namespace {

using namespace detail;

constexpr std::uint64_t kMaxConfigSize = 1'000'000;

constexpr std::size_t kHelloFieldSize = 16;
constexpr std::uint32_t kMaxCode = 511;

bool parseOne(ArgumentReader& reader, std::string_view opt, CommandLine& cmd, bool& users_given) {
    SimConfig& c = cmd.config;
    const auto byteArg = [&](std::uint8_t& target) { return take(reader, parseByte, target, "a number 0-255"); };

    if (opt == "--help" || opt == "-h") {
        cmd.help = true;
        return true;
    }
    if (opt == "--port") return take(reader, parseWord16, c.port, "a port 0-65535");
    if (opt == "--port-file") {
        const auto v = reader.value();
        if (!v) return false;
        if (v->empty()) return reader.fail("expected a file name");
        cmd.port_file = std::string(*v);
        return true;
    }
    if (opt == "--user") {
        const auto v = reader.value();
        if (!v) return false;
        const auto colon = v->find(':');
        if (colon == std::string_view::npos || colon == 0) return reader.fail("expected NAME:PASS");
        UserAccount user{std::string(v->substr(0, colon)), std::string(v->substr(colon + 1))};
        if (user.name.size() > kHelloFieldSize || user.password.size() > kHelloFieldSize) {
            return reader.fail("name and password are at most 16 bytes each");
        }
        if (!users_given) c.users.clear();
        users_given = true;
        c.users.push_back(std::move(user));
        return true;
    }
    if (opt == "--product") return byteArg(c.product_number);
    if (opt == "--channels") return byteArg(c.channel_num);
    if (opt == "--account") return byteArg(c.account);
    if (opt == "--feature") return byteArg(c.feature);
    if (opt == "--front-ver") return byteArg(c.front_ver);
    if (opt == "--mac") return take(reader, parseMac, c.mac, "xx-xx-xx-xx-xx-xx");
    if (opt == "--versions" || opt == "--protocol") {
        std::pair<std::uint8_t, std::uint8_t> v{};
        if (!take(reader, parseVersions, v, "MAJ.MIN")) return false;
        if (opt == "--versions") {
            c.product_major = v.first;
            c.product_minor = v.second;
        } else {
            c.protocol_major = v.first;
            c.protocol_minor = v.second;
        }
        return true;
    }
    if (opt == "--web-port") return take(reader, parseWord16, c.web_port, "a port 0-65535");
    if (opt == "--firm") {
        const auto v = reader.value();
        if (!v) return false;
        const auto eq = v->rfind('=');
        if (eq == std::string_view::npos || eq == 0 || eq > kFirmNameSize) {
            return reader.fail("expected NAME=SECONDS with a name of 1-32 bytes");
        }
        const auto seconds = parseUnsigned(v->substr(eq + 1), 0xFFFFFFFFu);
        if (!seconds) return reader.fail("expected NAME=SECONDS");
        if (c.firmware.size() == kMaxFirmwareParts) return reader.fail("at most 20 firmware parts");
        c.firmware.emplace_back(std::string(v->substr(0, eq)), static_cast<std::uint32_t>(*seconds));
        return true;
    }
    if (opt == "--fw-refuse") {
        std::int32_t reason = 0;
        if (!take(reader, parseSigned, reason, "a reason number")) return false;
        c.firmware_upgrade.refuse = reason;
        return true;
    }
    if (opt == "--fw-update-fail") {
        std::int32_t reason = 0;
        if (!take(reader, parseSigned, reason, "a reason number")) return false;
        c.firmware_upgrade.update_fail = reason;
        return true;
    }
    if (opt == "--fw-data-fail") {
        const auto v = reader.value();
        if (!v) return false;
        const auto colon = v->find(':');
        const auto bytes = parseUnsigned(v->substr(0, colon), 0xFFFFFFFFFFu);
        const auto reason = colon == std::string_view::npos ? std::optional<std::int32_t>(1)
                                                            : parseSigned(v->substr(colon + 1));
        if (!bytes || !reason) return reader.fail("expected BYTES[:REASON]");
        c.firmware_upgrade.data_fail = std::pair{*bytes, *reason};
        return true;
    }
    if (opt == "--fw-close-after") {
        const auto v = reader.value();
        if (!v) return false;
        const auto bytes = parseUnsigned(*v, 0xFFFFFFFFFFu);
        if (!bytes) return reader.fail("expected a byte count");
        c.firmware_upgrade.close_after = *bytes;
        return true;
    }
    if (opt == "--fw-flash-ms" || opt == "--fw-restart-ms") {
        const auto v = reader.value();
        if (!v) return false;
        const auto ms = parseUnsigned(*v, 3'600'000);
        if (!ms) return reader.fail("expected milliseconds");
        (opt == "--fw-flash-ms" ? c.firmware_upgrade.flash_time : c.firmware_upgrade.restart_after) =
            std::chrono::milliseconds(*ms);
        return true;
    }
    if (opt == "--bye") {
        std::int32_t reason = 0;
        if (!take(reader, parseSigned, reason, "a reason number")) return false;
        c.bye_reason = reason;
        return true;
    }
    if (opt == "--wrong-password-reason") return take(reader, parseSigned, c.wrong_password_reason, "a reason number");
    if (opt == "--close-after") {
        std::chrono::milliseconds delay{};
        if (!take(reader, parseSeconds, delay, "seconds")) return false;
        c.close_after = delay;
        return true;
    }
    if (opt == "--unknown") {
        const auto v = reader.value();
        if (!v) return false;
        const auto colon = v->find(':');
        if (colon == std::string_view::npos) return reader.fail("expected CODE:LEN");
        const auto code = parseUnsigned(v->substr(0, colon), kMaxCode);
        const auto len = parseUnsigned(v->substr(colon + 1), 0xFFFF);
        if (!code || !len) return reader.fail("expected CODE:LEN with a code 0-511 and a length 0-65535");
        c.unknown_after_login = std::pair{static_cast<std::uint16_t>(*code), static_cast<std::uint16_t>(*len)};
        return true;
    }
    if (opt == "--hello-length") {
        std::uint16_t len = 0;
        if (!take(reader, parseWord16, len, "a length 0-65535")) return false;
        c.hello_length_override = len;
        return true;
    }
    if (opt == "--live-mask") {
        const auto v = reader.value();
        if (!v) return false;
        const auto mask = parseUnsigned(*v, 0xFFFFFFFFu);
        if (!mask) return reader.fail("expected a 32-bit mask such as 0x000f000f");
        c.live_mask = static_cast<std::uint32_t>(*mask);
        return true;
    }
    if (opt == "--fps") {
        std::uint8_t fps = 0;
        if (!take(reader, parseFramesPerSecond, fps, "frames per second 1-30")) return false;
        c.video.frames_per_second.fill(fps);
        return true;
    }
    if (opt == "--channel-fps") {
        std::pair<std::size_t, std::uint8_t> v{};
        const auto parse = [](std::string_view t) { return parseForChannel(t, parseFramesPerSecond); };
        if (!take(reader, parse, v, "C:FPS with a channel 0-15 and 1-30 frames per second")) return false;
        c.video.frames_per_second[v.first] = v.second;
        return true;
    }
    if (opt == "--size") {
        PictureSize size{};
        if (!take(reader, parseSize, size, "one of 352x240 352x288 704x480 704x576 720x480 720x576")) return false;
        c.video.sizes.fill(size);
        return true;
    }
    if (opt == "--channel-size") {
        std::pair<std::size_t, PictureSize> v{};
        const auto parse = [](std::string_view t) { return parseForChannel(t, parseSize); };
        if (!take(reader, parse, v, "C:WxH with a channel 0-15 and a recorder picture size")) return false;
        c.video.sizes[v.first] = v.second;
        return true;
    }
    if (opt == "--gop") {
        std::uint64_t frames = 0;
        const auto parse = [](std::string_view t) -> std::optional<std::uint64_t> {
            const auto v = parseUnsigned(t, 0xFFFFFFFFu);
            if (!v || *v == 0) return std::nullopt;
            return v;
        };
        if (!take(reader, parse, frames, "a key-frame interval of at least 1 frame")) return false;
        c.video.key_interval = static_cast<std::uint32_t>(frames);
        return true;
    }
    if (opt == "--clip") {
        const auto v = reader.value();
        if (!v) return false;
        std::string error;
        auto pictures = loadClip(std::string(*v), error);
        if (!pictures) return reader.fail(error);
        const PictureSize size{static_cast<std::uint16_t>(pictures->front().width),
                               static_cast<std::uint16_t>(pictures->front().height)};
        c.video.sizes.fill(size);
        c.video.clip = std::make_shared<const std::vector<ClipPicture>>(std::move(*pictures));
        c.video.enabled = true;
        return true;
    }
    if (opt == "--video-loss") {
        std::uint16_t mask = 0;
        if (!take(reader, parseWord16, mask, "a 16-bit channel mask")) return false;
        c.live_mask = (c.live_mask & 0xFFFFu) | (std::uint32_t{mask} << 16);
        return true;
    }
    if (opt == "--audio-mask") {
        std::uint16_t mask = 0;
        if (!take(reader, parseWord16, mask, "a 16-bit channel mask")) return false;
        c.audio.mask = mask;
        return true;
    }
    if (opt == "--user-rights" || opt == "--rights-change") {
        const auto v = reader.value();
        if (!v) return false;
        std::string_view text = *v;
        std::optional<std::chrono::milliseconds> after;
        if (opt == "--rights-change") {
            const auto colon = text.find(':');
            if (colon != std::string_view::npos) after = parseSeconds(text.substr(0, colon));
            if (!after) return reader.fail("expected SECONDS:NAME:RIGHTS");
            text = text.substr(colon + 1);
        }
        const auto colon = text.rfind(':');
        const auto rights = colon == std::string_view::npos ? std::nullopt : parseRights(text.substr(colon + 1));
        if (colon == 0 || !rights) return reader.fail("expected NAME:RIGHTS, nine digits 0 or 1");
        const std::string name(text.substr(0, colon));
        if (after)
            c.admin.changes.push_back({*after, name, *rights});
        else
            c.admin.rights.emplace_back(name, *rights);
        return true;
    }
    if (opt == "--rights-layout") {
        std::uint8_t layout = 0;
        if (!byteArg(layout)) return false;
        if (layout != 1 && layout != 2) return reader.fail("expected 1 or 2");
        c.admin.rights_layout = layout;
        return true;
    }
    if (opt == "--channel-name") {
        const auto v = reader.value();
        if (!v) return false;
        const auto named = parseForChannel(*v, [](std::string_view t) { return std::optional<std::string>(t); });
        if (!named) return reader.fail("expected C:NAME with a channel 0-15");
        c.admin.channel_names[named->first] = named->second;
        return true;
    }
    if (opt == "--covert") return take(reader, parseWord16, c.admin.covert, "a 16-bit channel mask");
    if (opt == "--cameras") return take(reader, parseWord16, c.admin.cameras, "a 16-bit channel mask");
    if (opt == "--live-rights") {
        const auto v = reader.value();
        if (!v) return false;
        const auto colon = v->rfind(':');
        const auto mask = colon == std::string_view::npos ? std::nullopt : parseWord16(v->substr(colon + 1));
        if (colon == 0 || !mask) return reader.fail("expected NAME:MASK");
        c.admin.live.emplace_back(std::string(v->substr(0, colon)), *mask);
        return true;
    }
    if (opt == "--no-presets") {
        const auto v = reader.value();
        if (!v) return false;
        c.admin.no_presets.emplace_back(*v);
        return true;
    }
    if (opt == "--recording") {
        std::uint8_t on = 0;
        if (!byteArg(on)) return false;
        if (on > 1) return reader.fail("expected 0 or 1");
        c.admin.recording = on == 1;
        return true;
    }
    if (opt == "--config-size") {
        const auto v = reader.value();
        if (!v) return false;
        const auto size = parseUnsigned(*v, kMaxConfigSize);
        if (!size) return reader.fail("expected a size up to 1,000,000 bytes");
        c.admin.config_size = static_cast<std::size_t>(*size);
        return true;
    }
    if (opt == "--talk-nack") {
        std::int32_t reason = 0;
        if (!take(reader, parseSigned, reason, "a reason number")) return false;
        c.talk_nack_reason = reason;
        return true;
    }
    if (opt == "--ptz-channels") {
        std::uint16_t mask = 0;
        if (!take(reader, parseWord16, mask, "a 16-bit channel mask")) return false;
        c.ptz_channels = mask;
        return true;
    }
    if (opt == "--talk-out") {
        const auto v = reader.value();
        if (!v) return false;
        if (v->empty()) return reader.fail("expected a file name");
        c.talk_out_path = std::string(*v);
        return true;
    }
    if (opt == "--recordings") {
        const auto v = reader.value();
        if (!v) return false;
        std::string error;
        auto schedule = RecordingSchedule::load(std::string(*v), error);
        if (!schedule) return reader.fail(error);
        c.recordings.schedule = std::make_shared<const RecordingSchedule>(std::move(*schedule));
        c.recordings.enabled = true;
        return true;
    }
    if (opt == "--recordings-now") {
        RecorderSeconds now = 0;
        if (!take(reader, parseRecorderTime, now, "seconds or YYYY-MM-DDTHH:MM:SS")) return false;
        c.recordings.now = now;
        return true;
    }
    if (opt == "--play-speed") {
        const auto parse = [](std::string_view t) { return parseUnsigned(t, 6); };
        std::uint64_t speed = 0;
        if (!take(reader, parse, speed, "a speed 0-6")) return false;
        c.recordings.start_speed = static_cast<std::uint8_t>(speed);
        return true;
    }
    if (opt == "--search-records") {
        const auto parse = [](std::string_view t) { return parseUnsigned(t, 0xFFFF); };
        std::uint64_t n = 0;
        if (!take(reader, parse, n, "a number of records per message")) return false;
        c.recordings.records_per_message = static_cast<std::uint32_t>(n);
        return true;
    }
    if (opt == "--backup-size") {
        const auto parse = [](std::string_view t) { return parseUnsigned(t, 0xFFFF'FFFFu); };
        std::uint64_t kib = 0;
        if (!take(reader, parse, kib, "a size in KiB")) return false;
        c.backup.size_kib = static_cast<std::uint32_t>(kib);
        return true;
    }
    if (opt == "--backup-size-delay") {
        const auto parse = [](std::string_view t) { return parseUnsigned(t, 3'600'000); };
        std::uint64_t ms = 0;
        if (!take(reader, parse, ms, "milliseconds")) return false;
        c.backup.size_delay = std::chrono::milliseconds(ms);
        return true;
    }
    if (opt == "--backup-close-after") {
        const auto parse = [](std::string_view t) { return parseUnsigned(t, 0xFFFF'FFFFu); };
        std::uint64_t units = 0;
        if (!take(reader, parse, units, "a number of units")) return false;
        c.backup.close_after = units;
        return true;
    }
    if (opt == "--refuse" || opt == "--play-fail" || opt == "--backup-fail") {
        const auto v = reader.value();
        if (!v) return false;
        const auto colon = v->rfind(':');
        const auto reason = colon == std::string_view::npos ? std::nullopt : parseSigned(v->substr(colon + 1));
        if (!reason) return reader.fail(opt == "--refuse" ? "expected NAME:REASON" : "expected UNITS:REASON");
        if (opt != "--refuse") {
            const auto units = parseUnsigned(v->substr(0, colon), 0xFFFF'FFFFu);
            if (!units) return reader.fail("expected UNITS:REASON");
            (opt == "--play-fail" ? c.recordings.fail_after : c.backup.fail_after) = std::pair{*units, *reason};
            return true;
        }
        const auto request = refusableRequest(v->substr(0, colon));
        if (!request) {
            return reader.fail("can refuse PLAY_INFO_MONTH_REQ, PLAY_INFO_DAY_REQ, EVENT_INFO_REQ, PLAY_ON_REQ, "
                               "EVENT_PLAY_REQ, RPLAY_STOP, REC_ON_REQ, REC_OFF_REQ, REBOOT_REQ, DB_INIT_REQ, "
                               "DB_UPDATE_REQ, LOG_INFO_REQ, STATUS_INFO_REQ, TRANS_INFO_MONTH_REQ, "
                               "TRANS_INFO_DAY_REQ, TRANS_ON_REQ or TRANS_DATA_REQ");
        }
        c.refusals.push_back({static_cast<std::uint16_t>(*request), *reason});
        return true;
    }
    if (opt == "--traffic") {
        const auto v = reader.value();
        if (!v) return false;
        if (v->empty()) return reader.fail("expected a file name or -");
        c.traffic_path = std::string(*v);
        return true;
    }

    // Switches without a value.
    bool* flag = nullptr;
    bool flag_value = true;
    if (opt == "--fragment-replies") flag = &c.fragment_replies;
    else if (opt == "--oversized-unit") flag = &c.oversized_unit_after_login;
    else if (opt == "--garbage") flag = &c.garbage_after_login;
    else if (opt == "--video") flag = &c.video.enabled;
    else if (opt == "--bad-blocks") flag = &c.admin.bad_blocks;
    else if (opt == "--audio") flag = &c.audio.enabled;
    else if (opt == "--no-recordings") {
        flag = &c.recordings.enabled;
        flag_value = false;
    }
    else if (opt == "--no-live") {
        flag = &c.answer_live_req;
        flag_value = false;
    } else if (opt == "--quiet") {
        flag = &c.log_events;
        flag_value = false;
    }
    if (flag == nullptr) return reader.fail("unknown option");
    if (reader.hadStrayValue()) return reader.fail("takes no value");
    *flag = flag_value;
    return true;
}

}  // namespace

bool isRecorderPictureSize(PictureSize size) {
    return (size.width == 352 || size.width == 704 || size.width == 720) &&
           (size.height == 240 || size.height == 288 || size.height == 480 || size.height == 576) &&
           (size.width == 352) == (size.height == 240 || size.height == 288);
}

std::optional<CommandLine> parseArguments(std::span<const std::string_view> args, std::string& error) {
    CommandLine cmd;
    cmd.config.log_events = true;  // the program reports connections unless --quiet
    bool users_given = false;
    ArgumentReader reader(args, error);
    while (!reader.atEnd()) {
        const std::string_view opt = reader.option();
        if (!parseOne(reader, opt, cmd, users_given)) return std::nullopt;
    }
    return cmd;
}

std::string usageText() {
    return R"(Usage: kalix-sim [options]
A recorder simulator on 127.0.0.1. Runs until SIGINT or SIGTERM.

  --port N                  listen port (0 = any free port; default 0)
  --port-file F             write the bound port number to F once listening
  --user NAME:PASS          an account (repeatable; default admin:1234)
  --product N               product number (11 MOSS-X, 12 LARK; default 11)
  --versions MAJ.MIN        product major and minor version (default 1.0)
  --protocol MAJ.MIN        protocol major and minor version (default 1.0)
  --front-ver N             front version (default 1)
  --channels N              number of channels (default 16)
  --account N               account byte (default 0)
  --mac xx-xx-xx-xx-xx-xx   MAC address
  --feature N               feature byte (default 0x08)
  --web-port N              web setup port (default 80)
  --firm NAME=SECONDS       a firmware part and its time stamp (repeatable, up to 20)
  --fw-refuse REASON        refuse every firmware upgrade with FW_UPDATE_NACK and REASON
  --fw-data-fail N[:REASON] answer FW_DATA_RX_FAIL (reason 1 by default) once N bytes
                            of an upload are in
  --fw-update-fail REASON   end every upgrade with FW_UPDATE_FAIL and REASON
  --fw-close-after N        close the connection once N bytes of an upload are in
  --fw-flash-ms MS          time from FW_DATA_RX_DONE to the verdict (default 300)
  --fw-restart-ms MS        after an upgrade with no further request for MS the
                            recorder restarts: every connection closes, the next login
                            reports the new stamps (default 2000; 0: never)
  --hello-length N          send a login answer of N bytes instead of 768
  --bye REASON              refuse every login with BYE48 and this reason
  --wrong-password-reason N reason of the BYE48 for a wrong login (default 2)
  --close-after SECONDS     close the connection this long after login
  --unknown CODE:LEN        after login send CODE with LEN payload bytes
  --fragment-replies        send login and live answers in several pieces
  --oversized-unit          send one live unit larger than the client's buffer
  --garbage                 send random bytes after login
  --live-mask 0xHEX         channels sent (low 16 bits) and in video loss (high 16 bits)
  --no-live                 leave LIVE_REQ unanswered
  --video                   stream live video on the channels LIVE_REQ asks for
  --fps N                   frames per second of every channel, 1-30 (default 25)
  --channel-fps C:N         frames per second of channel C (0-15)
  --size WxH                picture size of every channel: 352x240, 352x288 (default),
                            704x480, 704x576, 720x480 or 720x576
  --channel-size C:WxH      picture size of channel C (0-15)
  --gop N                   frames from one key frame to the next (default 25)
  --clip FILE               stream this H.264 Annex B clip on every channel, looping,
                            at its own size (implies --video). It must be Baseline with
                            CAVLC, one reference frame, one slice per picture,
                            constrained intra prediction, chroma QP offset 2 and
                            deblocking on with offsets 0, e.g. from libx264 with
                            -profile:v baseline -bf 0 -x264-params
                            ref=1:psy=0:constrained-intra=1:chroma-qp-offset=2
  --video-loss MASK         channels in video loss (bit i = channel i): announced, not sent
  --audio                   send live audio while the client has switched it on: one
                            unit every 8 ms, a tone of 300 + 100 x C Hz per channel C
  --audio-mask MASK         the channels with audio (default: every live channel)
  --user-rights NAME:RIGHTS  rights of account NAME: nine digits 0/1 for rows 0-8 (record,
                            web setup, search, download, PTZ, covert, enabled, reboot,
                            enabled); default all 1
  --rights-change S:NAME:RIGHTS  S seconds after the login NAME's rights become RIGHTS
                            and a new rights message goes out (repeatable)
  --rights-layout 1|2       rights in RIGHT_CHANGE (1, default) or RIGHT_CHANGE2 (2)
  --channel-name C:NAME     title of channel C (default: the recorder's names)
  --covert MASK             covert channels (bit i = channel i)
  --live-rights NAME:MASK   channels account NAME may watch live (default all)
  --no-presets NAME         account NAME lacks the PTZ preset permission
  --cameras MASK            channels with a camera (default all)
  --recording 0|1           recording at the start (default 1)
  --config-size N           bytes of the configuration block (default 4096)
  --bad-blocks              send the information blocks with wrong sizes
  --talk-nack REASON        refuse every talk request with A_LISTEN_NACK and REASON
  --talk-out FILE           write the talk audio received to FILE (raw) and FILE.pcm
  --ptz-channels MASK       the channels with a PTZ camera (default 0xffff)
                            (decoded, 16-bit little-endian, interleaved stereo)
  --recordings FILE         play back the recordings of this schedule file (lines
                            "rec CH START END [KIND]", "event KIND MASK TIME [END]",
                            "title CH TEXT", "badtitle CH TEXT"; times in seconds or
                            YYYY-MM-DDTHH:MM:SS); default: a demo schedule over the
                            three days before now and the last hour
  --recordings-now TIME     the demo schedule's "now" (default: the start time)
  --no-recordings           nothing recorded
  --play-speed N            speed a playback starts at: 1-6 (default 1), or 0 for
                            no speed (play_speed 10, frames unpaced)
  --search-records N        at most N records per search answer message
  --refuse NAME:REASON      refuse every NAME request (PLAY_INFO_MONTH_REQ,
                            PLAY_INFO_DAY_REQ, EVENT_INFO_REQ, PLAY_ON_REQ,
                            EVENT_PLAY_REQ, RPLAY_STOP, REC_ON_REQ, REC_OFF_REQ,
                            REBOOT_REQ, DB_INIT_REQ, DB_UPDATE_REQ, LOG_INFO_REQ,
                            STATUS_INFO_REQ) with its NACK and REASON
                            EVENT_PLAY_REQ, RPLAY_STOP, TRANS_INFO_MONTH_REQ,
                            TRANS_INFO_DAY_REQ, TRANS_ON_REQ, TRANS_DATA_REQ) with its
                            NACK and REASON
  --play-fail N:REASON      end every playback with PLAY_ON_FAIL after N video units
  --backup-size KIB         answer every backup size request with KIB
  --backup-size-delay MS    the backup size takes MS milliseconds to calculate
  --backup-fail N:REASON    end every backup transfer with TRANS_ON_FAIL after N units
  --backup-close-after N    close the connection after N units of a backup transfer
  --traffic FILE            one JSON line per message to FILE (- for standard output)
  --quiet                   no connection events on standard error
  --help                    this text
)";
}

}  // namespace kalix::sim
