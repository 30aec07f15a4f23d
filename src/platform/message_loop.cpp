// The loops themselves: the same on every target, built on GetNextMessage and DispatchToWindow.
#include "platform/message_loop.h"

namespace platform {

int RunMessageLoop() {
  Message message;
  while (GetNextMessage(&message)) DispatchToWindow(message);
  return static_cast<int>(static_cast<intptr_t>(message.wParam));
}

bool RunModalLoop(const bool& ended) {
  Message message;
  while (!ended) {
    if (!GetNextMessage(&message)) {
      PostQuit(static_cast<int>(static_cast<intptr_t>(message.wParam)));
      return false;
    }
    DispatchToWindow(message);
  }
  return true;
}

}  // namespace platform
