// The texts both ends of the controller link agree on: the login exchange, the
// prompts, the control bytes and the session commands. The monitor, the
// simulator and the benchmarks spell them from here, so they cannot drift apart.
#pragma once

namespace protocol {

// Every line the controller sends starts with CR LF; a command line ends at CR.
inline constexpr char kNewLine[] = "\r\n";
inline constexpr char kLineEnd = '\r';

// Login: the controller asks for a name, then for a password.
inline constexpr char kLoginPrompt[] = "Login    :";
inline constexpr char kPasswordPrompt[] = "Password :";
inline constexpr char kLoginName[] = "KDW4721";
inline constexpr char kPassword[] = "QVRNT";

// The prompt that ends every answer, on a line of its own; "#?" while a task
// stands at a breakpoint. A program line accepted in load mode is answered by
// the bare prompt, without the line break.
inline constexpr char kPrompt[] = "#";
inline constexpr char kBreakPrompt[] = "#?";
inline constexpr char kPromptLine[] = "\r\n#";
inline constexpr char kBreakPromptLine[] = "\r\n#?";

// Control bytes: attention stops every task and leaves load mode; block start
// opens a binary program block.
inline constexpr char kAttention = '\x01';
inline constexpr char kBlockStart = '\x02';

// Session commands. The monitor leaves machine mode right after login;
// "ECHO 2" enters load mode (lines are stored, not run), a bare "ECHO" leaves it.
inline constexpr char kMachineModeWord[] = "CMD$";
inline constexpr char kMachineModeOff[] = "CMD$ 0";
inline constexpr char kLoadModeWord[] = "ECHO";
// Renumbers the program 10, 20, 30 ..., the jumps with it.
inline constexpr char kRenumber[] = "RENUM";
inline constexpr char kLoadModeOn[] = "ECHO 2";
inline constexpr char kClearProgram[] = "NEW";
inline constexpr char kLoadBlocks[] = "MMC_LOAD MMC_LOAD$";

} // namespace protocol
