#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <string>
#include <vector>

#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace {

TEST(SerialPortTest, OpensRawAndExclusive) {
  TPtyPair pty;
  TSerialPort port;
  std::string error;
  ASSERT_TRUE(port.Open(pty.SlavePath(), error)) << error;

  termios tio{};
  ASSERT_EQ(tcgetattr(port.Fd(), &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), B9600);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);  // raw: bytes as they come
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_NE(fcntl(port.Fd(), F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_NE(fcntl(port.Fd(), F_GETFL) & O_NONBLOCK, 0);

  // Another program cannot take the line while it is open (root may, so
  // the flag is read rather than a second open tried).
  int exclusive = 0;
  ASSERT_EQ(ioctl(port.Fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortTest, MovesBytesBothWaysWithoutBlocking) {
  TPtyPair pty;
  TSerialPort port;
  std::string error;
  ASSERT_TRUE(port.Open(pty.SlavePath(), error)) << error;

  std::string in;
  EXPECT_EQ(port.Read(in), TSerialIo::kWouldBlock);
  pty.Send("KV+STUC\r\n\x01\xFF");
  ASSERT_EQ(port.Read(in), TSerialIo::kDone);
  EXPECT_EQ(in, "KV+STUC\r\n\x01\xFF");  // no CR/LF translation, all 8 bits

  std::size_t written = 0;
  EXPECT_EQ(port.Write("KV-STUC=3\r\n", written), TSerialIo::kDone);
  EXPECT_EQ(written, 11u);
  EXPECT_EQ(pty.Received(), "KV-STUC=3\r\n");

  pty.CloseMaster();
  EXPECT_EQ(port.Read(in), TSerialIo::kClosed);
}

TEST(SerialPortTest, ConfigureAppliesOrRefuses) {
  TPtyPair pty;
  TSerialPort port;
  std::string error;
  ASSERT_TRUE(port.Open(pty.SlavePath(), error)) << error;
  ASSERT_TRUE(port.Configure({19200, 7, 2, 2}, error)) << error;
  termios tio{};
  ASSERT_EQ(tcgetattr(port.Fd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), B19200);
  // A pseudo-terminal keeps eight bits without parity whatever it is told.
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

  const std::vector<TSerialLine> refused = {{12345, 8, 0, 0}, {9600, 9, 0, 0}, {9600, 8, 5, 0},
                                            {9600, 8, 0, 3}};
  for (const TSerialLine& line : refused) {
    error.clear();
    EXPECT_FALSE(port.Configure(line, error)) << line.Baud;
    EXPECT_FALSE(error.empty());
  }
}

TEST(SerialPortTest, RefusesWhatIsNoTerminal) {
  TTempFolder folder;
  const std::string file = folder.Path().string() + "/plain";
  close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
  const std::vector<std::string> paths = {file, folder.Path().string() + "/missing"};
  for (const std::string& path : paths) {
    TSerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open(path, error)) << path;
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST(SerialPortTest, ListsSerialDevicesInNumericOrder) {
  TTempFolder folder;
  for (const char* name : {"ttyUSB10", "ttyS1", "ttyUSB2", "ttyACM0", "tty1", "ttyS", "ttySx", "null"})
    close(open((folder.Path().string() + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600));
  const std::string d = folder.Path().string() + "/";
  EXPECT_EQ(TSerialPort::ListPorts(folder.Path().string()),
            (std::vector<std::string>{d + "ttyACM0", d + "ttyS1", d + "ttyUSB2", d + "ttyUSB10"}));
  EXPECT_TRUE(TSerialPort::ListPorts(d + "missing").empty());
}

}  // namespace
