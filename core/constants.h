#pragma once

// Every fixed size and protocol limit of the program, in one place.
namespace limits {

inline constexpr int kStationCount = 100;    // line records; only line 1 is served
inline constexpr int kRxLineCount = 2000;    // lines one reply buffer holds
inline constexpr int kRxLineLength = 230;    // characters kept of one received line
inline constexpr int kRxFieldCount = 10;     // rx_fields[0..9]
inline constexpr int kTankTableCount = 128;  // strapping-table records; only table 1 is used
inline constexpr int kTableRows = 2000;      // rows of one strapping table
inline constexpr int kTableEndValue = 65000; // "65000" closes a table; the largest value the controller takes
inline constexpr int kMsgTableSize = 2000;   // message catalogue entries
inline constexpr int kMsgFieldLength = 150;  // characters of one catalogue field
inline constexpr int kMsgLanguages = 4;      // languages 1..4 besides the key

inline constexpr int kBurstLength = 20;       // characters sent before the transmitter pauses
inline constexpr double kPreFrameWait = 0.02; // seconds before every frame
inline constexpr double kBurstWait = 0.1;     // seconds after every 20th character
inline constexpr double kFollowUpWait = 0.1;  // seconds before a follow-up frame
inline constexpr int kReplyTimeoutMs = 200;   // the reply timer re-enables the panels
inline constexpr int kStatusTickMs = 1000;    // the connection status timer

inline constexpr int kBaudAtCreation = 19200;
inline constexpr int kBaudInUse = 9600;
inline constexpr int kQueueSize = 4096;      // device input and output queues
inline constexpr int kReceiveBuffer = 8192;  // bytes announced by one data-available event at most
inline constexpr int kTraceSize = 10000;     // entries in the byte trace ring
inline constexpr int kTraceColumns = 78;     // width of a trace file data line
inline constexpr int kChooserPorts = 50;     // the port chooser tries COM1..COM50
inline constexpr int kChooserQueueSize = 64; // queue sizes of the chooser's trial opens
inline constexpr int kWriteDrainMs = 2000;   // how long a write may wait for the driver to take it

// A strapping-table file of 2000 rows takes some 50 KB; a file past this size is not one, and reading it
// whole would only cost memory.
inline constexpr int kTableFileMaxBytes = 16 * 1024 * 1024;
inline constexpr int kQuotedNumberMax = 40; // digits of a refused number quoted in an error text

inline constexpr int kDescriptionWidth = 16; // description field of the configuration
inline constexpr int kAddressWidth = 5;      // address field of the configuration
inline constexpr int kNumberWidth = 5;       // number and relay fields of the configuration
inline constexpr int kFoldAbove = 40000;     // configuration values above this come back as value - 65536
inline constexpr int kWordModulus = 65536;   // 16-bit two's complement on the wire
inline constexpr int kSmsFieldWidth = 20;    // characters sent of one SMS field
inline constexpr int kSmsFieldCount = 4;     // three numbers and the station name
inline constexpr int kRelayCount = 16;
inline constexpr int kRelayFunctionCount = 11;
inline constexpr int kProductCount = 25;
inline constexpr int kUnitCount = 2;
inline constexpr int kMaxChannels = 255 - 64; // channel letters chr(64 + n) stay single-byte characters

// The controller's side of the line, as the simulator keeps it.
inline constexpr int kBurstPauseMs = 79;     // a gap of at least this long ends a burst at the controller
inline constexpr int kLineByteMicros = 1042; // one byte (10 bits) at 9600 baud
inline constexpr int kSimMaxLine = 1024;     // characters one request line may hold before it is dropped
inline constexpr int kSimSplitPauseMicros = 2000; // pause between the bytes of a reply sent one at a time
inline constexpr int kSimOverlongLine = 300;      // length of the lines of the "overlong" fault
inline constexpr int kSimLongTable = 2500;        // rows sent by the "table-2500" fault

} // namespace limits
