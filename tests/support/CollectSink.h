#pragma once

#include <string>

#include "dump/DumpFile.h"

// A sink that keeps every byte; optionally refuses after a number of bytes.
class CollectSink : public IDataSink {
public:
    explicit CollectSink(size_t refuseAfter = std::string::npos) : m_refuseAfter(refuseAfter) {}
    bool Write(const char* data, size_t length) override {
        ++writes;
        bytes.append(data, length);
        return bytes.size() <= m_refuseAfter;
    }
    std::string bytes;
    size_t writes = 0;

private:
    size_t m_refuseAfter;
};

// The COPY text up to the end-of-data line "\." (which ends the data for every consumer).
std::string CopyTextBeforeEndMarker(const std::string& stream);
