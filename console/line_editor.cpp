#include "console/line_editor.h"

#ifdef HALVORN_LIBEDIT

#include <histedit.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "console/stop_signals.h"
#include "programs/command_recall.h"

namespace app {
namespace {

// What the editor's callbacks reach through the editor's client data.
struct EditorState {
  int inFd = -1;
  FILE* out = nullptr;  // the editor's own stream on the output terminal
  FILE* in = nullptr;
  EditLine* el = nullptr;
  std::string prompt;
  programs::CommandRecall recall;
  bool editing = false;  // the prompt is shown and the terminal in edit mode
  bool ended = false;    // the terminal went away
  bool escape = false;   // Ctrl-C was typed
  std::wstring kept;     // text typed before a pause
  int keptCursor = 0;

  ~EditorState() {
    if (el != nullptr) el_end(el);
    if (in != nullptr) std::fclose(in);
    if (out != nullptr) std::fclose(out);
  }
};

constexpr wchar_t kCtrlD = 4;

EditorState& ImplOf(EditLine* el) {
  void* data = nullptr;
  el_get(el, EL_CLIENTDATA, &data);
  return *static_cast<EditorState*>(data);
}

// Bytes are characters: one byte typed is one character of the line, the
// same as lines read from a pipe, whatever the locale says.
std::string Bytes(const wchar_t* text, std::size_t count) {
  std::string bytes(count, '?');
  for (std::size_t i = 0; i < count; ++i)
    if (text[i] >= 0 && text[i] <= 0xff) bytes[i] = static_cast<char>(text[i]);
  return bytes;
}

std::wstring Wide(const std::string& bytes) {
  std::wstring wide(bytes.size(), L'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return wide;
}

std::wstring CurrentLine(EditLine* el) {
  const LineInfoW* line = el_wline(el);
  return std::wstring(line->buffer, line->lastchar);
}

int CursorOf(EditLine* el) {
  const LineInfoW* line = el_wline(el);
  return static_cast<int>(line->cursor - line->buffer);
}

void ReplaceLine(EditLine* el, const std::wstring& text) {
  const int length = static_cast<int>(CurrentLine(el).size());
  el_cursor(el, length - CursorOf(el));
  el_deletestr(el, length);
  if (!text.empty()) el_winsertstr(el, text.c_str());
}

char* PromptOf(EditLine* el) {
  return ImplOf(el).prompt.data();
}

// Reads one key byte. A signal ends the read, so that el_wgets returns and
// the caller gets to handle it; so does a descriptor that someone made
// non-blocking, which ReadLine's wait then covers.
int ReadKey(EditLine* el, wchar_t* key) {
  EditorState& impl = ImplOf(el);
  unsigned char byte = 0;
  const ssize_t n = ::read(impl.inFd, &byte, 1);
  *key = byte;
  if (n == 1) return 1;
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return -1;
  impl.ended = true;
  return n == 0 ? 0 : -1;
}

unsigned char Recall(EditLine* el, bool older) {
  EditorState& impl = ImplOf(el);
  const std::wstring current = CurrentLine(el);
  const std::string text = Bytes(current.data(), current.size());
  const std::string next = older ? impl.recall.Up(text) : impl.recall.Down(text);
  if (next == text) return CC_NORM;
  ReplaceLine(el, Wide(next));
  return CC_REFRESH;
}

unsigned char RecallOlder(EditLine* el, int) {
  return Recall(el, true);
}
unsigned char RecallNewer(EditLine* el, int) {
  return Recall(el, false);
}

unsigned char EscapeKey(EditLine* el, int) {
  ImplOf(el).escape = true;
  return CC_NORM;
}

void Bind(EditLine* el, const char* key, const char* function) {
  el_set(el, EL_BIND, key, function, static_cast<const char*>(nullptr));
}

void ShowPrompt(EditorState& impl) {
  el_set(impl.el, EL_UNBUFFERED, 1);  // edit mode; shows the prompt
  impl.editing = true;
  if (impl.kept.empty()) return;
  el_winsertstr(impl.el, impl.kept.c_str());
  el_cursor(impl.el, impl.keptCursor - CursorOf(impl.el));
  impl.kept.clear();
  // Redraw prompt and text from the start of the prompt's row.
  std::fputs("\r", impl.out);
  el_set(impl.el, EL_REFRESH);
}

void LeaveLine(EditorState& impl) {
  std::fputs("\r\n", impl.out);
  std::fflush(impl.out);
  el_set(impl.el, EL_UNBUFFERED, 0);  // the terminal's normal mode
  impl.editing = false;
}

}  // namespace

struct LineEditor::Impl : EditorState {};

bool LineEditor::Available() {
  return true;
}

std::unique_ptr<LineEditor> LineEditor::Open(int inFd, int outFd, const std::string& prompt) {
  if (inFd < 0 || outFd < 0 || ::isatty(inFd) != 1 || ::isatty(outFd) != 1) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->inFd = inFd;
  impl->prompt = prompt;
  // The streams are the editor's own copies, so closing them leaves the
  // caller's descriptors open.
  const int inCopy = ::dup(inFd), outCopy = ::dup(outFd);
  if (inCopy >= 0) impl->in = ::fdopen(inCopy, "r");
  if (outCopy >= 0) impl->out = ::fdopen(outCopy, "w");
  if (impl->in == nullptr || impl->out == nullptr) {
    if (impl->in == nullptr && inCopy >= 0) ::close(inCopy);
    if (impl->out == nullptr && outCopy >= 0) ::close(outCopy);
    return nullptr;
  }
  stop_signals::RestoreTerminalAtExit(inFd);
  impl->el = el_init_fd("halvorn-terminal", impl->in, impl->out, impl->out, inFd, outFd, outFd);
  if (impl->el == nullptr) return nullptr;

  EditLine* el = impl->el;
  el_set(el, EL_CLIENTDATA, static_cast<EditorState*>(impl.get()));
  el_set(el, EL_EDITOR, "emacs");
  el_set(el, EL_SIGNAL, 0);  // the program's own handlers stay in charge
  el_set(el, EL_PROMPT, &PromptOf);
  el_set(el, EL_GETCFN, &ReadKey);
  // Ctrl-C reaches the editor as a key while the prompt is shown: it is the
  // ESC key there, and a raw-mode terminal must never be left behind by a
  // signal that ends the program.
  el_set(el, EL_SETTY, "-d", "-isig", static_cast<const char*>(nullptr));
  // Wide names: the editor keeps these pointers (narrow ones it copies and
  // never frees).
  el_wset(el, EL_ADDFN, L"halvorn-recall-older", L"Recall the line sent before", &RecallOlder);
  el_wset(el, EL_ADDFN, L"halvorn-recall-newer", L"Recall the line sent after", &RecallNewer);
  el_wset(el, EL_ADDFN, L"halvorn-escape", L"The ESC key", &EscapeKey);
  for (const char* key : {"\\e[A", "\\eOA", "^P"}) Bind(el, key, "halvorn-recall-older");
  for (const char* key : {"\\e[B", "\\eOB", "^N"}) Bind(el, key, "halvorn-recall-newer");
  Bind(el, "^C", "halvorn-escape");
  return std::unique_ptr<LineEditor>(new LineEditor(std::move(impl)));
}

LineEditor::LineEditor(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LineEditor::~LineEditor() {
  Pause();
}

LineEditor::Status LineEditor::ReadLine(std::string& line, double seconds) {
  EditorState& impl = *impl_;
  if (impl.ended) return Status::End;
  if (!impl.editing) ShowPrompt(impl);
  int wait = seconds > 0 ? static_cast<int>(seconds * 1000) : 0;
  for (;;) {
    pollfd p{impl.inFd, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return Status::Waiting;
    if (ready < 0 || (p.revents & POLLIN) == 0) impl.ended = true;  // hung up

    int count = 0;
    const wchar_t* text = impl.ended ? nullptr : el_wgets(impl.el, &count);
    if (impl.ended || (text != nullptr && count == 1 && text[0] == kCtrlD)) {
      // The editor has shown the Ctrl-D ("^D") on the empty line.
      impl.ended = true;
      LeaveLine(impl);
      return Status::End;
    }
    if (impl.escape) {
      impl.escape = false;
      Pause();
      return Status::Escape;
    }
    if (text != nullptr && count > 0 && text[count - 1] == L'\n') {
      // The editor has moved to a fresh line already.
      line = Bytes(text, static_cast<std::size_t>(count - 1));
      impl.recall.Sent(line);
      el_set(impl.el, EL_UNBUFFERED, 0);
      impl.editing = false;
      return Status::Line;
    }
    wait = 0;  // take every key already typed before reporting
  }
}

void LineEditor::Pause() {
  EditorState& impl = *impl_;
  if (!impl.editing) return;
  impl.kept = CurrentLine(impl.el);
  impl.keptCursor = CursorOf(impl.el);
  if (impl.keptCursor < static_cast<int>(impl.kept.size())) {
    // A line longer than the screen is wide takes several rows: the editor
    // itself moves the cursor to the end (Ctrl-E), so the output starts
    // below the whole line.
    int count = 0;
    el_wpush(impl.el, L"\x05");
    el_wgets(impl.el, &count);
  }
  LeaveLine(impl);
}

}  // namespace app

#else  // no libedit in this build: the line terminal reads plain lines

#include <utility>

namespace app {

struct LineEditor::Impl {};

bool LineEditor::Available() {
  return false;
}
std::unique_ptr<LineEditor> LineEditor::Open(int, int, const std::string&) {
  return nullptr;
}
LineEditor::LineEditor(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LineEditor::~LineEditor() = default;
LineEditor::Status LineEditor::ReadLine(std::string&, double) {
  return Status::End;
}
void LineEditor::Pause() {}

}  // namespace app

#endif
