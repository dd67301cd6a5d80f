// The one table of the ASCII protocol's command forms: what each command looks like and what its
// reply may look like. The bus monitor's decoder names commands from it; the link uses it to
// tell a reply to this command from a line that answers another one (a late reply).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace odel::forms {

// pattern: 'a' two hex digits (the address first, a new address after it), 'h' two hex digits,
// 'v' four hex digits, 'd' one decimal digit, 'c' any one character, 's' a sign, '*' the rest
// (one character or more); others literal.
// labels: one per placeholder after the leading address, comma-separated; "@" shows a new
// address as "address OLD → NEW", "bps" a baud code as its rate.
// reply: the forms of the "!" reply, separated by '|': 'A' the command's address, 'N' its new
// address, 'h' two hex digits, '*' anything (or nothing); others literal. Empty: the reply
// carries no address ("#" data replies, "!" plus data), so it is not checked.
struct CommandForm {
    const char* pattern;
    const char* form;
    const char* meaning;
    const char* labels;
    const char* reply;
};

std::span<const CommandForm> Table();

// Matches a command line (no checksum digits, no CR) against a pattern; fields receives each
// placeholder's text. -1 when it does not match; else the fixed characters matched, plus a large
// bonus for patterns without a rest field.
int Match(const char* pattern, std::string_view line, std::vector<std::string>& fields);

// True when a reply line (ending in CR, checksum digits included when the checksum is on) cannot
// be the reply to the command line as written: a "!" or "?" line of another address, a ">" line,
// or a "!" line of this address that fits none of the command's reply forms. "$", "%", "@" and
// "~" commands only; other commands, commands whose replies carry no address and lines that are
// no reply at all are left to the usual reply rules (false).
bool IsForeignReply(std::string_view command, std::string_view line, bool checksum);

}  // namespace odel::forms
