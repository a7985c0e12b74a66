#pragma once
// Reading the string-list layout of a value's buffer, shared by the list getter and the text
// form. Internal to the library.

#include <cstddef>

namespace plinth::registry {

// The item of the list buffer data[0, size) that starts at byte at: its text in *text and its
// length, which runs to the item's NUL or, in a buffer not closed by an empty string, to the
// buffer's end. 0 where the list ends: at an empty item, at the end of the buffer, or for a
// null buffer. The next item starts at at + length + 1.
size_t NextListItem(const unsigned char* data, size_t size, size_t at, const char** text);

}  // namespace plinth::registry
