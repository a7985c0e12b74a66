#pragma once
// What the host's input and output need from the operating system, one implementation per
// system (posix/Io.cpp, windows/Io.cpp), beside the members of Output, ReadInput and
// RequireRegularFile that they define.

#include <cstddef>
#include <string>

namespace plinth_tool {

constexpr int kStandardOutput = 1;
constexpr int kStandardError = 2;

// Throw ToolError / OutputError with the system's message for errno value error and a hint.
[[noreturn]] void FailRead(const std::string& name, int error);
[[noreturn]] void FailWrite(const std::string& shown, int error);

// Writes all of data to descriptor fd. False when the reader of a pipe went away; throws
// OutputError for any other failure.
bool WriteAll(int fd, const char* data, std::size_t size, const std::string& shown);

bool StandardErrorIsTerminal();
// The width of the terminal standard error writes to; 0 when unknown.
int StandardErrorColumns();

// Erases the progress line on the terminal, if one is shown (Io.cpp).
void EraseProgress();

}  // namespace plinth_tool
