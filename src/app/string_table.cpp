#include "app/string_table.h"

#include <algorithm>

namespace kalix::app {
namespace {

// clang-format off
constexpr StringEntry kTable[] = {
    // Name of a local-settings record in the operation log.
    {5004, "Local settings saved"},

    // Notice titles and messages, chosen by notice kind and detail.
    {5051, "Connection"},
    {5052, "Login"},
    {5053, "Recorder"},
    {5054, "No network connection could be opened on this computer."},
    {5055, "The recorder did not answer in time."},
    {5056, "The recorder refused the connection. Check the address and the port."},
    {5057, "The connection to the recorder has ended."},
    {5058, "The recorder does not know this user name."},
    {5059, "The password is wrong."},
    {5060, "Too many users are connected to the recorder."},
    {5061, "The recorder ended the session."},
    {5062, "The recorder refused the login for this client."},
    {5063, "No recorded data at the chosen time. Search again?"},
    {5064, "The recorder refused the request."},
    {5065, "Recording cannot be started now."},
    {5066, "Recording cannot be stopped now."},
    {5067, "The recorder refused the request."},
    {5068, "Another user is using this function on the recorder."},
    {5069, "The recorder cannot do this now."},
    {5070, "The recorder's disk is not ready."},
    {5071, "You have no right to do this on the recorder."},
    {5072, "Not enough free space for the download."},
    {5073, "The recorder is busy. Try again later."},
    {5074, "The recorder refused to reset its settings."},
    {5075, "The recorder refused the new settings."},
    {5076, "The settings are in use by another user."},
    {5077, "The settings do not fit this recorder."},
    {5078, "The recorder cannot store the settings now."},
    {5079, "The operation failed."},
    {5080, "The recorder's settings arrived damaged."},
    {5081, "The recorder has stored the settings."},
    {5082, "Upgrade the recorder's firmware with the files found?"},
    {5083, "No firmware file for this recorder in the Upgrade folder."},
    {5084, "The recorder's talk channel is in use."},
    {5085, "The recorder ended the talk."},
    {5086, "Not enough free disk space on this computer."},
    {5087, "The file could not be written."},
    {5088, "This operation is not allowed or not available."},
    {5089, "The operation could not be completed."},
    {5090, "The operation could not be completed."},
    {5091, "Version"},
    {5092, "Kalix"},

    // Recorder log: entry names by category and type.
    {5110, "Power on"},
    {5111, "Power off"},
    {5112, "Power failure"},
    {5113, "Recording started"},
    {5114, "Recording stopped"},
    {5115, "Schedule recording"},
    {5116, "Event recording"},
    {5117, "Disk full"},
    {5118, "Settings changed"},
    {5119, "Clock set"},
    {5120, "Disk formatted"},
    {5121, "Operation"},
    {5122, "Client login"},
    {5123, "Client logout"},
    {5124, "Remote live view"},
    {5125, "Remote playback"},
    {5126, "Remote backup"},
    {5127, "Remote setup"},
    {5128, "Remote firmware upgrade"},
    {5129, "Remote talk"},
    {5130, "Motion"},
    {5131, "Video loss"},
    {5132, "Sensor"},
    {5133, "Disk error"},
    {5134, "Tamper"},

    // Status information page.
    {5135, "Total space"},
    {5136, "Used space"},
    {5137, "Free space"},
    {5144, "Idle"},

    // System information page.
    {5145, "MAC address"},
    {5146, "Main program"},
    {5147, "Boot loader"},
    {5148, "Kernel"},
    {5149, "File system"},
    {5150, "Web pages"},
    {5151, "Front panel"},
    {5152, "Channel"},

    // Firmware upgrade: row labels (5179 + row) and upload states.
    {5180, "Main program"},
    {5181, "Boot loader"},
    {5182, "Kernel"},
    {5183, "File system"},
    {5184, "Web pages"},
    {5185, "Front panel"},
    {5190, "Stopped"},
    {5191, "The file does not fit this recorder."},
    {5192, "The file is not newer than the recorder's firmware."},
    {5193, "Upload failed"},
    {5194, "Upgraded"},

    // Recorder log names and backup filter tooltips.
    {5209, "Schedule"},
    {5210, "Manual"},

    // Local search, bookmarks and the MP4 export.
    {5230, "Local search"},
    {5231, "Date/Time"},
    {5232, "Event"},
    {5233, "Calendar"},
    {5234, "Bookmarks"},
    {5235, "Export"},
    {5240, "Delete"},
    {5241, "Edit note"},
    {5242, "Store note"},
    {5243, "Delete all"},
    {5244, "Play"},
    {5245, "Time"},
    {5246, "Note"},
    {5247, "Add bookmark"},
    {5250, "Export to MP4"},
    {5251, "From"},
    {5252, "To"},
    {5253, "Folder"},
    {5254, "Channels"},
    {5255, "Export"},
    {5256, "Stop"},
    {5257, "Exporting"},
    {5258, "Done"},
    {5259, "Cancelled"},
    // Local settings: watermark choices.
    {5340, "Off"},
    {5344, "On"},

    // Operation log: local entry names.
    {5360, "Program started"},
    {5361, "Program ended"},
    {5362, "Connected"},
    {5363, "Disconnected"},
    {5364, "Connection failed"},
    {5365, "Local playback started"},
    {5366, "Local playback ended"},
    {5368, "Local settings reset"},

    // Local settings: folder browser title, date formats, audio buffers.
    {5380, "Choose the folder for saved files"},
    {5381, "YYYY-MM-DD"},
    {5382, "MM-DD-YYYY"},
    {5383, "DD-MM-YYYY"},
    {5392, "Live audio"},
    {5393, "Remote playback audio"},
    {5394, "Local playback audio"},

    // Version notice label.
    {5410, "Kalix client version"},

    // Information pages, dialog buttons and page titles.
    {5497, "Recorder address"},

    // Connect dialog and address book.
    {5500, "Connect to a recorder"},
    {5501, "User name"},
    {5502, "Password"},
    {5503, "Default port"},
    {5504, "Other port"},
    {5505, "Address book"},
    {5506, "Delete"},
    {5507, "Edit"},
    {5508, "Save"},
    {5509, "Last connection"},
    {5510, "Choose the recorder to connect to"},

    {5522, "Event Log"},
    {5540, "Port"},
    {5541, "OK"},
    {5542, "Cancel"},
    {5543, "Yes"},
    {5544, "No"},
    {5563, "Play"},
    {5585, "Archive"},
    {5604, "Print"},

    // Local settings: opacity slots, by the window family of each slot.
    {5640, "Connect dialog"},
    {5641, "Remote search"},
    {5642, "Spare 3"},
    {5643, "Local search and playback"},
    {5644, "Local setup"},
    {5645, "PTZ panels and event bar"},
    {5646, "Firmware upgrade"},
    {5647, "Spare 8"},
    {5648, "Notices"},

    // Local setup dialog: title, pages, linked-row buttons, global rows.
    {5650, "Local settings"},
    {5651, "Global"},
    {5652, "Opacity"},
    {5653, "Audio buffer"},
    {5654, "Deinterlace"},
    {5655, "Check all"},
    {5656, "Clear all"},
    {5657, "Drawing"},
    {5658, "Date format"},
    {5659, "Picture format"},
    {5660, "Storage folder"},
    {5661, "Clock"},
    {5662, "Watermark check"},
    {5663, "Close"},
    {5664, "Channel"},

    // Recorder log: operation names.
    {5680, "Network settings"},
    {5681, "User settings"},

    // Remote search dialog: title, tabs, Close.
    {5800, "Remote search"},
    {5801, "Search"},
    {5802, "Backup"},
    {5803, "Log"},
    {5804, "Info"},
    {5805, "Close"},
    // Remote search: shown while a request is pending.
    {5810, "Waiting for the recorder..."},
    // Search page: sub-tabs; pages still to come.
    {5811, "Date/Time"},
    {5812, "Event"},
    {5813, "Calendar"},
    {5814, "Select Channel"},
    {5815, "This page is not available yet."},
    // Calendar, timeline and event list.
    {5816, "Recording calendar"},
    {5817, "Day timeline"},
    {5818, "Back"},
    {5819, "Events"},
    {5820, "Alarm"},
    {5821, "Motion"},
    {5822, "Audio"},
    {5823, "Time"},
    {5824, "Channels"},
    {5825, "Previous"},
    {5826, "Next"},
    {5827, "No recordings"},
    {5828, "Date"},
    {5829, "Time"},
    {5830, "Year"},

    // Status information page: storage items.
    {5837, "Type"},
    // Recording calendar: month and weekday names.
    {5840, "Jan"},
    {5841, "Feb"},
    {5842, "Mar"},
    {5843, "Apr"},
    {5844, "May"},
    {5845, "Jun"},
    {5846, "Jul"},
    {5847, "Aug"},
    {5848, "Sep"},
    {5849, "Oct"},
    {5850, "Nov"},
    {5851, "Dec"},
    {5852, "Sun"},
    {5853, "Mon"},
    {5854, "Tue"},
    {5855, "Wed"},
    {5856, "Thu"},
    {5857, "Fri"},
    {5858, "Sat"},
    {5870, "Capacity"},
    {5871, "GByte"},
    {5872, "None"},
    {5873, "Internal"},
    {5874, "External"},
    {5880, "Storage "},
    {5881, "Description"},
    {5890, "Log cleared"},
    {5891, "Factory settings restored"},

    // Main window tooltips (mainTooltipId).
    {5900, "Channel 1"},  {5901, "Channel 2"},  {5902, "Channel 3"},  {5903, "Channel 4"},
    {5904, "Channel 5"},  {5905, "Channel 6"},  {5906, "Channel 7"},  {5907, "Channel 8"},
    {5908, "Channel 9"},  {5909, "Channel 10"}, {5910, "Channel 11"}, {5911, "Channel 12"},
    {5912, "Channel 13"}, {5913, "Channel 14"}, {5914, "Channel 15"}, {5915, "Channel 16"},
    {5920, "Single view"},
    {5921, "4 panes"},
    {5922, "6 panes"},
    {5923, "7 panes"},
    {5924, "8 panes"},
    {5925, "9 panes"},
    {5926, "10 panes"},
    {5927, "13 panes"},
    {5928, "16 panes"},
    {5929, "Full screen"},
    {5940, "Step back"},
    {5941, "Play backward"},
    {5942, "Play"},
    {5943, "Pause / freeze"},
    {5944, "Record on the recorder"},
    {5945, "Stop"},
    {5946, "Step forward"},
    {5955, "Pan and tilt"},
    {5956, "Zoom and focus"},
    {5960, "Connect or disconnect"},
    {5961, "Search the recorder"},
    {5962, "Recorder setup"},
    {5963, "Search local recordings"},
    {5964, "Local settings"},
    {5965, "Quit"},
    {5966, "Sound on or off"},
    {5968, "Next audio channel"},
    {5969, "Live view on or off"},
    {5970, "Captions"},
    {5971, "Restore the channel order"},
    {5972, "Save pictures"},
    {5973, "Open a picture"},
    {5974, "Firmware upgrade"},
    {5975, "Version"},
    {5976, "Talk to the recorder"},
    {5977, "Minimise"},
    {5978, "Audio on or off"},
    {6020, "Playback position"},
    {6021, "Volume"},

    // Video wall: watermark warning.
    {6062, "Watermark check failed"},

    // Local settings: hour system, by value (0: 12-hour, 1: 24-hour).
    {6073, "12-hour clock"},
    {6074, "24-hour clock"},

    // Status strip in remote playback: how the playback was found, and the
    // playback bar's modes.
    {6100, "Time search"},
    {6101, "Timeline"},
    {6102, "Event"},
    {6104, "Step back"},
    {6105, "Reverse"},
    {6106, "Play"},
    {6107, "Pause"},
    {6108, "Step"},

    // Channel recording states and backup filter tooltips.
    {6140, "Recording"},
    {6141, "Event recording"},
};
// clang-format on

}  // namespace

std::span<const StringEntry> stringTable() { return kTable; }

std::string_view stringText(std::uint16_t id) {
    const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                     [](const StringEntry& e, std::uint16_t v) { return e.id < v; });
    return (it != std::end(kTable) && it->id == id) ? it->text : std::string_view{};
}

}  // namespace kalix::app
