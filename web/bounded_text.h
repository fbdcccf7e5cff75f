// Formatted text appended to a fixed-size character area: what does not fit is dropped, and the
// text is always NUL-terminated.
#pragma once

#include <cstdarg>
#include <cstdio>

struct BoundedText {
    char* destination;
    int capacity;  // bytes of the area, the NUL included
    int length = 0;

    BoundedText(char* area, int areaSize) : destination(area), capacity(areaSize) {
        if (capacity > 0) {
            destination[0] = '\0';
        }
    }

    void Append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        int room = capacity - length;
        if (room <= 1) {
            return;
        }
        va_list arguments;
        va_start(arguments, format);
        int written =
            std::vsnprintf(destination + length, static_cast<std::size_t>(room), format, arguments);
        va_end(arguments);
        if (written > 0) {
            length += written < room ? written : room - 1;
        }
    }
};
