// The worker body behind InstallEngine::Install, with the directory move as a parameter.
#pragma once

#include <cstdint>
#include <string>

#include "engine/install_engine.h"
#include "engine/promote_directory.h"

// Runs one installation for engine and posts exactly one result message to engine.notifyWindow. The move
// function is the one the directory swap uses (MoveDirectory in the installer); nothing escapes.
void RunInstallWorker(const InstallEngine& engine, uint16_t resourceId, const std::wstring& targetDir,
                      MoveDirectoryFunction move) noexcept;
