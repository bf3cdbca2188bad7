#include "tarn/hardwarevideodecoder/access_violation_guard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <mutex>

namespace moraine::tarn {
namespace {

// One guard at a time per process; the handler reads these from signal context.
std::mutex guard_mutex;
std::atomic<sigjmp_buf*> armed_jump{nullptr};
pthread_t guarded_thread;
struct sigaction previous_action;

void HandleSegmentationFault(int signal_number, siginfo_t* info, void* context) {
  sigjmp_buf* jump = armed_jump.load();
  if (jump != nullptr && pthread_equal(pthread_self(), guarded_thread)) {
    armed_jump.store(nullptr);
    siglongjmp(*jump, 1);
  }
  // Not the guarded call: behave as the handler we displaced would.
  if ((previous_action.sa_flags & SA_SIGINFO) != 0) {
    previous_action.sa_sigaction(signal_number, info, context);
  } else if (previous_action.sa_handler != SIG_DFL && previous_action.sa_handler != SIG_IGN) {
    previous_action.sa_handler(signal_number);
  } else {
    // Returning re-runs the faulting instruction, which then meets the default action.
    signal(SIGSEGV, SIG_DFL);
  }
}

// Kept apart from the caller so that only plain locals live across sigsetjmp.
bool RunArmed(const std::function<void()>& call, sigjmp_buf& jump) {
  if (sigsetjmp(jump, 1) != 0) return false;
  armed_jump.store(&jump);
  call();
  armed_jump.store(nullptr);
  return true;
}

}  // namespace

bool CallWithAccessViolationGuard(const std::function<void()>& call) {
  std::lock_guard<std::mutex> lock(guard_mutex);
  struct sigaction guard_action {};
  guard_action.sa_sigaction = HandleSegmentationFault;
  guard_action.sa_flags = SA_SIGINFO;
  sigemptyset(&guard_action.sa_mask);
  guarded_thread = pthread_self();
  sigaction(SIGSEGV, &guard_action, &previous_action);

  sigjmp_buf jump;
  const bool finished = RunArmed(call, jump);

  sigaction(SIGSEGV, &previous_action, nullptr);
  return finished;
}

}  // namespace moraine::tarn
