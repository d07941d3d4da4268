// Reads a page without rendering it and says what in it cannot be what its
// author meant: the checks of `brindle check`.
//
// The page is walked once.  It finds the module's tags as the renderer does
// (page_scanner.h) and also the names that only look like one ("<qelMaht>"),
// pairs start and end tags, checks every tag's parameters against the
// vocabulary (check_parameters.h), the text of qelMath bodies (check_math.h),
// the index names of loops inside loops, the place of qelCase and qelElse,
// and every "${" that does not make a reference.  The body of a qelComment is
// skipped: nothing in it runs.
#ifndef BRINDLE_ENGINE_PAGE_CHECK_H
#define BRINDLE_ENGINE_PAGE_CHECK_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/check_parameters.h"
#include "engine/check_report.h"

namespace bw {

std::vector<CheckDiagnostic> checkPage(const std::string& fileName, std::string_view page,
                                       const PatternJudge& judge);

}  // namespace bw

#endif
