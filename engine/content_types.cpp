// Extension to content type.
#include "engine/content_types.h"

#include "engine/text_util.h"

namespace bw {
namespace {

struct ContentType {
  std::string_view extension;
  std::string_view type;
};

constexpr ContentType kContentTypes[] = {
    {".html", "text/html; charset=utf-8"},  {".htm", "text/html; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"}, {".json", "application/json"},
    {".txt", "text/plain; charset=utf-8"},  {".md", "text/markdown; charset=utf-8"},
    {".xml", "application/xml"},            {".svg", "image/svg+xml"},
    {".png", "image/png"},                  {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},                {".gif", "image/gif"},
    {".webp", "image/webp"},                {".ico", "image/x-icon"},
    {".woff", "font/woff"},                 {".woff2", "font/woff2"},
    {".pdf", "application/pdf"},            {".csv", "text/csv; charset=utf-8"},
    {".wasm", "application/wasm"},
};

}  // namespace

std::string_view contentTypeFor(std::string_view fileName) {
  size_t dot = fileName.rfind('.');
  size_t slash = fileName.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return "application/octet-stream";
  std::string_view extension = fileName.substr(dot);
  for (const ContentType& entry : kContentTypes)
    if (equalsIgnoringCase(entry.extension, extension)) return entry.type;
  return "application/octet-stream";
}

}  // namespace bw
