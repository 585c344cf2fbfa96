// Index rules of the capture ring: the writer never lands on the buffer the reader holds, and the reader
// always jumps to the newest complete buffer, dropping older ones.
#pragma once

// The index after index in a ring of count buffers.
inline int ringNext(int index, int count)
{
    return index + 1 >= count ? 0 : index + 1;
}

// The buffer the writer fills after completing the one at write, stepping over the reader's buffer.
inline int ringAdvanceWriter(int write, int read, int count)
{
    int next = ringNext(write, count);
    return next == read ? ringNext(next, count) : next;
}

// When a buffer newer than the last one taken is complete, moves read to the newest complete buffer (the
// one before write) and returns true.
inline bool ringTakeNewest(int write, int& read, int count)
{
    if (write < read)
        write += count;
    if (write - read < 1)
        return false;
    int newest = write - 1;
    if (newest < 0)
        newest += count;
    else if (newest >= count)
        newest -= count;
    read = newest;
    return true;
}
