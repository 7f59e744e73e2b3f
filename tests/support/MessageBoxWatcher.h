#pragma once
// Answers the message boxes that code under test shows on this thread, the way a user
// would: a background thread waits for each box of this process, records its caption,
// text, icon and buttons, and presses the button the test chose.
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class BoxIcon { None, Information, Warning, Error, Question };

struct SeenMessageBox {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::None;  // read from the box's image control
  std::vector<int> buttons;      // ids of the box's push buttons (IDOK, IDYES, IDNO ...)
  bool foreground = false;       // the box was the foreground window
  HWND owner = nullptr;          // the window that owns the box
};

class MessageBoxWatcher {
 public:
  // Presses `answer` (IDOK, IDYES, IDNO ...) on every box that appears.
  explicit MessageBoxWatcher(int answer = IDOK);
  // Chooses each box's answer from what it shows and its place in order (0 for the first).
  // It runs on the watcher's thread while the box is open, so it may act (post a message,
  // wait for something) before the box is answered; meanwhile no other box is answered.
  using Decide = std::function<int(const SeenMessageBox& box, size_t index)>;
  explicit MessageBoxWatcher(Decide decide);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  void SetAnswer(int answer) { m_answer = answer; }
  std::vector<SeenMessageBox> Seen() const;

 private:
  void Watch();

  std::atomic<int> m_answer;
  Decide m_decide;
  std::atomic<bool> m_stop{false};
  mutable std::mutex m_lock;
  std::vector<SeenMessageBox> m_seen;
  std::vector<HWND> m_answered;
  std::thread m_thread;
};
#endif
