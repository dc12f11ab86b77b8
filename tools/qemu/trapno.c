/* LD_PRELOAD library for 32-bit programs (32-bit Wine) under qemu user-mode emulation.
 *
 * qemu leaves the trap number of a fault's signal context at -1. 32-bit Wine decides from that
 * number what a fault was (a page fault, an invalid opcode, a division by zero...), so under
 * emulation every fault, even the ones Windows code provokes and handles (IsBadReadPtr, stack
 * probes, guard pages), looks like an unknown trap and ends the process. This library wraps
 * sigaction for the fault signals and fills the trap number in from the signal and its si_code
 * before the program's own handler runs. A context that already carries a trap number is left
 * alone, so on a real kernel the library changes nothing.
 *
 * Built freestanding (gcc -m32 -nostdlib) against the 32-bit C library that 32-bit Wine brings:
 * the few declarations it needs are written out below for the i386 ABI. */

typedef unsigned int size_t;

#define RTLD_NEXT ((void *)-1l)
#define SA_SIGINFO 4

#define SIGILL 4
#define SIGTRAP 5
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11
#define NSIG_WRAPPED 12

/* i386 trap numbers, as the processor reports them. */
#define TRAP_DIVIDE 0
#define TRAP_SINGLE_STEP 1
#define TRAP_BREAKPOINT 3
#define TRAP_OVERFLOW 4
#define TRAP_INVALID_OPCODE 6
#define TRAP_PROTECTION 13
#define TRAP_PAGE_FAULT 14
#define TRAP_FPU_ERROR 16
#define TRAP_ALIGNMENT 17

/* si_code values the mapping looks at. */
#define SI_KERNEL 0x80
#define FPE_INTDIV 1
#define FPE_INTOVF 2
#define TRAP_TRACE 2

typedef struct { unsigned long bits[32]; } sigset_t; /* 128 bytes, as glibc's */

typedef struct {
  int si_signo;
  int si_errno;
  int si_code;
} siginfo_head;

typedef void (*info_handler)(int, siginfo_head *, void *);

struct sigaction {
  union {
    void (*sa_handler)(int);
    info_handler sa_sigaction;
  } u;
  sigset_t sa_mask;
  int sa_flags;
  void (*sa_restorer)(void);
};

/* ucontext_t of i386: uc_flags, uc_link, uc_stack (3 words), then the general registers. */
#define UC_GREGS_OFFSET 20
#define REG_TRAPNO 12

extern void *dlsym(void *handle, const char *name);

typedef int (*sigaction_fn)(int, const struct sigaction *, struct sigaction *);

static info_handler program_handler[NSIG_WRAPPED];

static int wrapped(int sig) {
  return sig == SIGILL || sig == SIGTRAP || sig == SIGBUS || sig == SIGFPE || sig == SIGSEGV;
}

static int trap_number(int sig, int code) {
  switch (sig) {
    case SIGSEGV: return code == SI_KERNEL ? TRAP_PROTECTION : TRAP_PAGE_FAULT;
    case SIGBUS: return TRAP_ALIGNMENT;
    case SIGILL: return TRAP_INVALID_OPCODE;
    case SIGFPE:
      if (code == FPE_INTDIV) return TRAP_DIVIDE;
      if (code == FPE_INTOVF) return TRAP_OVERFLOW;
      return TRAP_FPU_ERROR;
    default: return code == TRAP_TRACE ? TRAP_SINGLE_STEP : TRAP_BREAKPOINT;
  }
}

static void fill_trap_number(int sig, siginfo_head *info, void *context) {
  int *gregs = (int *)((char *)context + UC_GREGS_OFFSET);
  if (gregs[REG_TRAPNO] < 0) gregs[REG_TRAPNO] = trap_number(sig, info ? info->si_code : 0);
  program_handler[sig](sig, info, context);
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old) {
  static sigaction_fn next;
  struct sigaction mine;
  info_handler before;
  int rc;
  if (!next) next = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
  if (!next) return -1;
  if (sig <= 0 || sig >= NSIG_WRAPPED || !wrapped(sig)) return next(sig, act, old);
  before = program_handler[sig];
  if (act && (act->sa_flags & SA_SIGINFO) && act->u.sa_sigaction) {
    mine = *act;
    mine.u.sa_sigaction = fill_trap_number;
    program_handler[sig] = act->u.sa_sigaction;
    act = &mine;
  }
  rc = next(sig, act, old);
  if (rc == 0 && old && (old->sa_flags & SA_SIGINFO) && old->u.sa_sigaction == fill_trap_number)
    old->u.sa_sigaction = before;
  return rc;
}

/* glibc also exports the same call under its internal name; Wine may use either. */
int __sigaction(int sig, const struct sigaction *act, struct sigaction *old) {
  return sigaction(sig, act, old);
}
