// The exception-trace handler: every C++ exception the program throws, handled or not, leaves a
// block in the error log with its class, where it was raised, its message, the run log's tail
// and its call stack, resolved through the debug information the build carries. It sees the
// throws themselves (the link wraps the C++ runtime's throw), so it needs no try anywhere. Any
// thread.
#pragma once

#include <string>
#include <vector>

// Records from now on; before, throws are only noted for the thread's last stack.
void StartExceptionTrace();

// The stack (return addresses, innermost first) of the last exception thrown on the calling
// thread, handed over once; empty when none was captured since.
std::vector<void*> TakeThrowStack();

// Writes the block of a structured exception (an access violation, a stack overflow: no C++
// throw) whose stack is `stack`, the faulting address first. Any thread.
void TraceStructuredException(const std::wstring& className, const std::wstring& message,
                              const std::vector<void*>& stack);

// A return address as "procedure (file:line)" as far as the debug information knows it; with
// `procedureOnly`, the procedure's name alone (or the address when it is unknown).
std::wstring DescribeFrame(void* address, bool procedureOnly = false);
