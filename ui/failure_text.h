// The failure view's sentence: why an installation failed, in plain words for the user.
#pragma once

#include <string>

#include "engine/install_failure.h"

// One sentence naming the cause; not enough space carries the two figures in MB, another error its code.
[[nodiscard]] std::wstring DescribeFailureForUser(const InstallFailure& failure);
