// The logging library compiled once for the whole build. Header-only, it compiles its whole
// implementation into every file that includes it (seconds per file); with SPDLOG_COMPILED_LIB its
// headers only declare, and this file defines what the program uses: the logger, the registry, the
// asynchronous logger, the pattern formatter and the file and console sinks.
#ifndef SPDLOG_COMPILED_LIB
#error "spdlog_library.cpp defines the library for builds with SPDLOG_COMPILED_LIB"
#endif

#include <mutex>
#include <spdlog/async_logger-inl.h>
#include <spdlog/common-inl.h>
#include <spdlog/details/backtracer-inl.h>
#include <spdlog/details/file_helper-inl.h>
#include <spdlog/details/log_msg-inl.h>
#include <spdlog/details/log_msg_buffer-inl.h>
#include <spdlog/details/os-inl.h>
#include <spdlog/details/periodic_worker-inl.h>
#include <spdlog/details/registry-inl.h>
#include <spdlog/details/thread_pool-inl.h>
#include <spdlog/logger-inl.h>
#include <spdlog/pattern_formatter-inl.h>
#include <spdlog/sinks/base_sink-inl.h>
#include <spdlog/sinks/basic_file_sink-inl.h>
#include <spdlog/sinks/sink-inl.h>
#include <spdlog/sinks/stdout_sinks-inl.h>
#include <spdlog/sinks/wincolor_sink-inl.h>
#include <spdlog/spdlog-inl.h>

// The templates the program instantiates: sinks guarded by a std::mutex, the console logger and the
// registry's default logger (a colour console sink).
template class spdlog::sinks::base_sink<std::mutex>;
template class spdlog::sinks::basic_file_sink<std::mutex>;
template class spdlog::sinks::stdout_sink_base<spdlog::details::console_mutex>;
template class spdlog::sinks::stdout_sink<spdlog::details::console_mutex>;
template class spdlog::sinks::wincolor_sink<spdlog::details::console_mutex>;
template class spdlog::sinks::wincolor_stdout_sink<spdlog::details::console_mutex>;
template std::shared_ptr<spdlog::logger> spdlog::stdout_logger_mt<spdlog::synchronous_factory>(
    const std::string& logger_name);
