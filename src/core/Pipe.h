#pragma once

// Both ends of a pipe made with O_CLOEXEC, so that only the child they are handed to inherits
// one. Whatever end nobody took is closed when the object goes, on success and on every failure
// alike.
class Pipe {
public:
    // Throws std::system_error.
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return m_read; }
    int writeEnd() const { return m_write; }
    int takeRead();
    int takeWrite();
    void closeRead() { closeFd(m_read); }
    void closeWrite() { closeFd(m_write); }

    // Closes `fd` unless it is -1, and leaves it -1.
    static void closeFd(int& fd);

private:
    int m_read = -1;
    int m_write = -1;
};
