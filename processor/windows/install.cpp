#include "processor/windows/install.h"

#include "processor/hooks.h"
#include "processor/windows/error_window.h"
#include "processor/windows/settings_window.h"

namespace zel::processor {

void InstallWindows() {
    gWindowHooks.ticketCounter = [] {
        SettingsController& settings = SettingsController::Instance();
        settings.EnsureLoaded();
        return settings.TicketCounter();
    };
    gWindowHooks.setTicketCounter = [](const std::string& text) {
        SettingsController::Instance().CounterDrawn(text);
    };
    gWindowHooks.showConnectionError = [](const std::string& message) {
        ErrorController::ShowModal(message);
    };
}

}  // namespace zel::processor
