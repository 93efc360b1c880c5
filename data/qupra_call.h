// Calls an export of QUPRA.dll the same way whatever calling convention it was built with.
#pragma once

#include <cstdint>
#include <type_traits>

#if defined(__i386__)
// Pushes count 32-bit words (args[0] nearest the return address), calls fn and then sets the
// stack pointer back itself: a stdcall callee that pops its arguments and a cdecl one that
// leaves them both return correctly. The result is EDX:EAX, whole.
extern "C" uint64_t CallAnyConvention(const void* fn, const uint32_t* args, int count);

template <typename T>
uint32_t ArgumentWord(T value) {
  static_assert(sizeof(T) <= 4, "a 64-bit argument is passed as its two halves");
  if constexpr (std::is_pointer<T>::value || std::is_null_pointer<T>::value)
    return uint32_t(reinterpret_cast<uintptr_t>(value));
  else
    return uint32_t(value);
}
#endif

// R is the export's result type: void, a 32-bit int or the 64-bit Code.
template <typename R, typename... A>
R CallQupra(const void* fn, A... args) {
#if defined(__i386__)
  const uint32_t words[sizeof...(A) + 1] = {ArgumentWord(args)...};
  uint64_t result = CallAnyConvention(fn, words, int(sizeof...(A)));
  if constexpr (std::is_void<R>::value)
    return;
  else if constexpr (sizeof(R) == 8)
    return R(result);
  else
    return R(uint32_t(result));
#else
  // x86-64 Windows has one calling convention.
  return reinterpret_cast<R (*)(A...)>(const_cast<void*>(fn))(args...);
#endif
}
