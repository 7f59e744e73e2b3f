#pragma once
// The option word: one bit layout for the report-header format word, the ten channel words
// and the stack-print word.

#include <cstdint>

namespace __dbg_util {

enum : uint32_t {
  DBG_OPT_TIME = 0x1,
  DBG_OPT_LOCATION = 0x2,
  DBG_OPT_PROCESS_ID = 0x4,
  DBG_OPT_THREAD_ID = 0x8,
  DBG_OPT_PROCESS_CPU = 0x10,
  DBG_OPT_THREAD_CPU = 0x20,
  DBG_OPT_CPU_BUSY = 0x40,
  DBG_OPT_FUNC_NAME = 0x100,
  DBG_OPT_FUNC_TYPES = 0x200,
  DBG_OPT_FUNC_VALUES = 0x400,
  DBG_OPT_FUNC_OFFSET = 0x800,
  DBG_OPT_NO_TEMPLATE_ARGS = 0x1000,
  DBG_OPT_VALUE_TEXT_ONLY = 0x2000,
  DBG_OPT_NO_WIDE_GUESS = 0x4000,
  DBG_OPT_RAW_SYMBOL = 0x8000,
  DBG_OPT_MICROSECONDS = 0x10000,
  DBG_OPT_HEX_IDS = 0x20000,
  DBG_OPT_UNSIGNED_DECIMAL = 0x40000,
  DBG_OPT_SIGNED_HEX = 0x80000,
  DBG_OPT_HEX_OFFSET = 0x100000,
  DBG_OPT_DEBUGGER = 0x400000,
  DBG_OPT_BUFFERED = 0x800000,
};

// Any of these makes a line prefix name the function that wrote the line.
constexpr uint32_t DBG_OPT_FUNC_ANY = DBG_OPT_FUNC_NAME | DBG_OPT_FUNC_TYPES | DBG_OPT_FUNC_VALUES;
// The bits a caller description keeps from the format word.
constexpr uint32_t DBG_OPT_CALLER_MASK = 0x1CBF00;

// Time stamp with microseconds, thread id, debugger output.
constexpr uint32_t DBG_DEFAULT_CHANNEL_WORD = 0x410009;
// Location column, values, offset, template arguments dropped, text without address.
constexpr uint32_t DBG_DEFAULT_STACK_PRINT_WORD = 0x3C02;

}  // namespace __dbg_util
