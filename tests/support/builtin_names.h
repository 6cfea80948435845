// The 27 built-in names in their table order, as the tests expect them.
#pragma once

namespace morvane::testing {

inline constexpr const char* kExpectedBuiltinNames[] = {
    "_eof",           "_crlf",       "_systemname",   "_systemversion", "_year",           "_month",
    "_day",           "_hour",       "_minute",       "_second",        "_millisecond",    "_dayofweek",
    "_year2",         "_month2",     "_day2",         "_hour2",         "_minute2",        "_second2",
    "_millisecond2",  "_noon",       "_noonhour",     "_noonhour2",     "_osmajorversion", "_osminorversion",
    "_osbuildnumber", "_osplatform", "_osservicepack"};

}  // namespace morvane::testing
