#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kelmora::test {

// A fresh temporary folder, removed with everything in it when the object dies.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

// Points KELMORA_HOME at a temporary folder for the whole test process.
class CIsolatedHome : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::string path_;
};

void WriteTextFile(const std::string& path, const std::string& text);
// One line of a string catalogue (a language pack): "NUMBER<TAB>TEXT\n".
inline std::string CatalogueEntry(unsigned id, const std::string& text) {
    return std::to_string(id) + "\t" + text + "\n";
}
std::string ReadTextFile(const std::string& path);

// Runs a program by argument vector and captures what it wrote.
struct CCommandOutput {
    int exit_code = -1;
    std::string out;
    std::string err;
};
CCommandOutput RunCommand(const std::vector<std::string>& argv, const std::string& input = "");

// A second process; closing its standard input is how holders are told to let go.
class CChildProcess {
public:
    // with_errors: its standard error is read as part of its output.
    explicit CChildProcess(const std::vector<std::string>& argv, bool with_errors = false);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Feeds its standard input; false once it no longer reads.
    bool Write(const std::string& text);
    // Reads one line of its standard output (without the line end); empty at end.
    std::string ReadLine();
    // Sends it a signal (SIGKILL: dies at once); Finish() then gives 128 + signal.
    void Kill(int signal);
    // Closes its standard input and waits; returns the exit code.
    int Finish();

private:
    int pid_ = -1;
    int in_fd_ = -1;
    int out_fd_ = -1;
};

// A case name ctest can show: the number, then the text with '_' for all but letters and digits.
std::string CaseName(size_t index, std::string_view text);
inline std::string CaseName(size_t index, const char* text) {
    return CaseName(index, std::string_view(text ? text : "none"));
}

// Path of a program of this build, or in $KELMORA_TEST_BIN_DIR when the programs were moved.
std::string BuiltProgram(const std::string& name);

// Waits (2 s at most) until a child has ended, then reaps the programs started detached.
void ReapDetachedChildrenOnceEnded();

// Sets (or, with a null value, unsets) an environment variable for one scope.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value);
    CScopedEnv(const char* name, const std::string& value) : CScopedEnv(name, value.c_str()) {}
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    const char* name_;
    std::string previous_;
    bool had_ = false;
};

// Points the client at a fresh, empty home while it lives.
class CScopedHome {
public:
    std::string path() const { return dir_ / "home"; }

private:
    CTempDir dir_;
    CScopedEnv home_{"KELMORA_HOME", dir_ / "home"};
};

// A program of that name first on PATH for one scope, recording each run's
// arguments in the tool log (tests/helpers/argv_recorder).
class CRecordingTool {
public:
    CRecordingTool(const std::string& name);
    // The argument vectors of the runs so far, argv[0] first.
    std::vector<std::vector<std::string>> Runs() const;

private:
    CTempDir dir_;
    std::string log_path_;
    CScopedEnv path_;
    CScopedEnv log_;
};

}  // namespace kelmora::test
