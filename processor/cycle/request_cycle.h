#pragma once
// The request cycle: one request document in the request folder becomes an answer document
// (the request's name with ".1" appended) or an exceptions document (".2" appended). A work
// document that is still only in memory when the error handler ends the program is not
// written: the next start answers the request afresh.
#include <string>

#include "processor/request_documents.h"

namespace zel::processor {

// Processes one request. `requestFile` is lower-cased in place first. Problems of the request
// go into its exceptions document; a failure of the program shows a message box naming the
// failing step and ends the program, leaving the request in the folder for the next start.
void ProcessRequest(std::string& requestFile);
// The same for a request the caller has claimed: the request answered is the file the claim
// holds, read through the claim, and the end of the request removes that file alone (and
// archives it), never another file that carries the name by then.
void ProcessRequest(std::string& requestFile, platform::FileClaim& claim);

// Writes the request's work documents that changed to their files (the query's pause exit
// leaves them there for the next pass).
void SaveWorkDocuments(RequestContext& ctx);

}  // namespace zel::processor
