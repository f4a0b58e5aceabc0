#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <fstream>
#include <sstream>
#include <string>

#include "gui/gui_fixture.h"

// Shared by the text-commands, chat-rooms and user-statistics page tests.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Lets posted work (feed lines) arrive.
inline void Settle(int ms = 50) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The lines of the window's feed that contain `text`.
inline int CountLines(const QStringList& lines, const QString& text) {
  int count = 0;
  for (const QString& line : lines) count += line.contains(text) ? 1 : 0;
  return count;
}

// `text` with exactly one element's content replaced: <name>old</name> to
// <name>value</name> (the first such element).
inline std::string WithElement(std::string text, const std::string& name, const std::string& value) {
  const std::string open = "<" + name + ">", close = "</" + name + ">";
  const std::size_t at = text.find(open);
  if (at == std::string::npos) return text + "<missing " + name + ">";
  const std::size_t end = text.find(close, at);
  return text.replace(at + open.size(), end - at - open.size(), value);
}
