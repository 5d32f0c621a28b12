#pragma once
// Which names of a listing of the request folder a polling pass answers, and in what order.
#include <set>
#include <string>
#include <vector>

namespace zel::processor {

// Whether `name` could be a file name on Windows: no \ / : * ? " < > | and no control
// character. Any other name (here "..\victim.req" is one legal name) is not a request: taken as
// one it would become path components and reach outside the request folder.
bool IsWindowsFileName(const std::string& name);

// The requests of one pass, in listing order, from the names listed in `folder` (Windows form):
// names that could not exist on Windows and anything but a regular file (a symbolic link is
// not followed) are left alone. Requests whose lower-cased paths coincide (impossible on
// Windows) would be answered into one another's file: one of them is answered per pass, and the
// others wait (in `waiting`, kept by the caller across passes) until that answer's name is
// free again.
std::vector<std::string> RequestsOfThisPass(const std::string& folder,
                                            const std::vector<std::string>& names,
                                            std::set<std::string>& waiting);

}  // namespace zel::processor
