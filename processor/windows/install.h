#pragma once
// Connects the request logic to the windows (processor/hooks.h): the pick-ticket counter of the
// settings window and the connection-error window. The program calls it once at start-up;
// tests of the windows call it in their set-up.
namespace zel::processor {

void InstallWindows();

}  // namespace zel::processor
