// Standard output, standard error and standard input of zendrelctl. The
// console's code page may differ from the ANSI one: text goes to a console as
// UTF-16 (WriteConsoleW) and to a file or pipe as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrel::ctl {

enum class Stream { Out, Err };

// Writes `text` and a line end (CR LF) to the stream.
void WriteLine(Stream stream, std::wstring_view text);

// Writes `text` as it stands.
void Write(Stream stream, std::wstring_view text);

// Whether standard input is a console (a user can type there).
bool InputIsConsole();

// The first line of standard input, without its line end: typed without
// echo on a console, else read as bytes (UTF-8, UTF-16 with its mark, or
// ANSI). nullopt when nothing could be read.
std::optional<std::wstring> ReadSecretLine();

// The wide text of UTF-8 bytes, and back (for the parser and JSON, which
// work in UTF-8).
std::wstring FromUtf8(std::string_view bytes);
std::string ToUtf8(std::wstring_view text);

}  // namespace zendrel::ctl
