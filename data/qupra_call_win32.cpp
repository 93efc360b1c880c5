// The 32-bit routine behind CallQupra: a call that survives either calling convention.
#include "data/qupra_call.h"

#if defined(__i386__)
// ESI and EBP are kept by every convention's callee, so the frame pointer still knows where
// the stack was. The arguments are laid out 16-byte aligned, as GCC's code may assume.
asm(R"(
    .text
    .globl _CallAnyConvention
    .def _CallAnyConvention; .scl 2; .type 32; .endef
_CallAnyConvention:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
    leal 0(,%ecx,4), %eax
    subl %eax, %esp
    andl $-16, %esp
1:
    testl %ecx, %ecx
    jz 2f
    decl %ecx
    movl (%esi,%ecx,4), %eax
    movl %eax, (%esp,%ecx,4)
    jmp 1b
2:
    call *8(%ebp)
    leal -4(%ebp), %esp
    popl %esi
    popl %ebp
    ret
)");
#endif
