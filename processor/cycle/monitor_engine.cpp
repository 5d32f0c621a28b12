#include "processor/cycle/monitor_engine.h"

#include <exception>

#include "engine/catalog.h"
#include "engine/facade.h"
#include "engine/state.h"
#include "platform/error.h"
#include "platform/files.h"

namespace zel::processor {

void MonitorEngine::LoadCatalogSettings() { engine::LoadCatalogSettings(); }

std::string MonitorEngine::CatalogServer() {
    auto& state = engine::Engine();
    return state.EpcInfo ? state.EpcInfo->Server : std::string();
}

bool MonitorEngine::Create() {
    try {
        engine_ = std::make_shared<engine::cBusinessBasic>();
    } catch (const std::exception&) {
        // The caller sees no engine and waits for the share (CreateMissing tries again).
        engine_.reset();
    }
    return engine_ != nullptr;
}

bool MonitorEngine::Ready() const { return engine_ && engine::Engine().DataEngine; }

bool MonitorEngine::CreateMissing() {
    auto& state = engine::Engine();
    if (!state.DataEngine) {
        try {
            state.DataEngine = std::make_shared<engine::cBusinessBasic>();
        } catch (const std::exception&) {
            // The share does not answer yet; the share wait tries again.
            return false;
        }
    }
    return engine_ || Create();
}

bool MonitorEngine::ShareAnswers() {
    const auto& system = engine::Engine().SystemInfo;
    if (!system) return false;
    try {
        return platform::FolderExists(system->ShareRoot());
    } catch (const std::exception&) {
        // A share that cannot even be asked does not answer.
        return false;
    }
}

std::string MonitorEngine::BlockReadFile(const std::string& file, std::int32_t block, bool orb) {
    if (!engine_) platform::RaiseClassic(platform::err::kObjectNotSet, "BlockReadFile");
    return engine_->BlockReadFile(file, block, orb);
}

void MonitorEngine::Release() {
    engine_.reset();
    engine::Engine().SystemInfo.reset();
}

}  // namespace zel::processor
