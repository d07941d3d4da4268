// Formatting and reading HTTP dates by hand, since strftime and strptime
// follow the locale for the names of days and months.
#include "engine/http_dates.h"

#include <cstdio>
#include <cstring>

namespace bw {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int monthOf(std::string_view name) {
  for (int i = 0; i < 12; ++i)
    if (name == kMonths[i]) return i;
  return -1;
}

// Reads `count` digits at text[at]; spaces before them count as digits
// when `padded` (the day of the asctime form).
bool digits(std::string_view text, size_t at, size_t count, int& out, bool padded = false) {
  if (at + count > text.size()) return false;
  out = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[at + i];
    if (padded && c == ' ' && i + 1 < count) continue;
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

// "HH:MM:SS" at text[at].
bool clock(std::string_view text, size_t at, std::tm& tm) {
  return at + 8 <= text.size() && text[at + 2] == ':' && text[at + 5] == ':' &&
         digits(text, at, 2, tm.tm_hour) && digits(text, at + 3, 2, tm.tm_min) &&
         digits(text, at + 6, 2, tm.tm_sec);
}

bool valid(const std::tm& tm) {
  return tm.tm_mon >= 0 && tm.tm_mday >= 1 && tm.tm_mday <= 31 && tm.tm_hour <= 23 && tm.tm_min <= 59 &&
         tm.tm_sec <= 60;
}

}  // namespace

std::string formatHttpDate(std::time_t when) {
  std::tm tm{};
  gmtime_r(&when, &tm);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

bool parseHttpDate(std::string_view text, std::time_t& when) {
  std::tm tm{};
  int year = 0;
  size_t comma = text.find(',');
  if (comma == 3) {
    // Sun, 06 Nov 1994 08:49:37 GMT
    if (text.size() != 29 || text.substr(25) != " GMT" || text[4] != ' ' || text[7] != ' ' ||
        text[11] != ' ' || text[16] != ' ')
      return false;
    tm.tm_mon = monthOf(text.substr(8, 3));
    if (!digits(text, 5, 2, tm.tm_mday) || !digits(text, 12, 4, year) || !clock(text, 17, tm)) return false;
  } else if (comma != std::string_view::npos) {
    // Sunday, 06-Nov-94 08:49:37 GMT: two-digit years are taken as 1970-2069.
    std::string_view rest = text.substr(comma + 1);
    if (rest.size() != 23 || rest[0] != ' ' || rest[3] != '-' || rest[7] != '-' || rest[10] != ' ' ||
        rest.substr(19) != " GMT")
      return false;
    tm.tm_mon = monthOf(rest.substr(4, 3));
    if (!digits(rest, 1, 2, tm.tm_mday) || !digits(rest, 8, 2, year) || !clock(rest, 11, tm)) return false;
    year += year < 70 ? 2000 : 1900;
  } else {
    // Sun Nov  6 08:49:37 1994
    if (text.size() != 24 || text[3] != ' ' || text[7] != ' ' || text[10] != ' ' || text[19] != ' ')
      return false;
    tm.tm_mon = monthOf(text.substr(4, 3));
    if (!digits(text, 8, 2, tm.tm_mday, true) || !clock(text, 11, tm) || !digits(text, 20, 4, year))
      return false;
  }
  if (!valid(tm) || year < 1970) return false;
  tm.tm_year = year - 1900;
  when = timegm(&tm);
  return when != static_cast<std::time_t>(-1);
}

}  // namespace bw
