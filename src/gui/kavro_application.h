#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object with the last net for exceptions: one escaping
// any event handler goes to the handler (the program's exception report)
// instead of through Qt, which cannot carry it.
class TKavroApplication : public QApplication {
  Q_OBJECT
 public:
  using THandler = std::function<void(std::exception_ptr)>;

  TKavroApplication(int& argc, char** argv);
  void SetExceptionHandler(THandler handler) { handler_ = std::move(handler); }
  bool notify(QObject* receiver, QEvent* event) override;

  // The handler of the running application object, when it is one of ours.
  static void Report(std::exception_ptr error);

 private:
  THandler handler_;
};

// Runs `fn` and hands any exception to the application's handler: the
// guard each slot and callback from Qt goes through.
template <class F>
void GuardSlot(F&& fn) noexcept {
  try {
    fn();
  } catch (...) {
    TKavroApplication::Report(std::current_exception());
  }
}
