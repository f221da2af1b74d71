// The process runner against real child processes (fakectags) and real pipes.
#include "TagsTestUtil.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uProcess.h"

#include <algorithm>
#include <climits>
#include <chrono>
#include <random>
#include <string>

using namespace tagstest;

namespace {

double Seconds(std::chrono::steady_clock::time_point Since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Since).count();
}

std::string Bytes(const TMemoryStream& Stream)
{
    return std::string(reinterpret_cast<const char*>(Stream.Bytes().data()), Stream.Bytes().size());
}

} // namespace

TEST(RunProcess, SilentChildGivesEmptyListsAndSeesTheEndOfItsInputAtOnce)
{
    TScratchDir Dir;
    // A child that copies its input would wait forever on an open console.
    TScript Script(Dir, "stdin\nexit 0\n");
    TStrings Output{L"stale"};
    TStrings Errors{L"stale"};
    std::uint32_t ExitCode = 1;
    ASSERT_TRUE(RunFake(&Output, &Errors, ExitCode));
    EXPECT_EQ(ExitCode, 0u);
    EXPECT_TRUE(Output.empty());
    EXPECT_TRUE(Errors.empty());
}

TEST(RunProcess, SeparatesOrInterleavesTheTwoStreams)
{
    TScratchDir Dir;
    TScript Script(Dir, "chunk 1\nout one\\n\nerr two\\n\nout three\\n\nerr four\\n\nexit 5\n");
    TStrings Output;
    TStrings Errors;
    std::uint32_t ExitCode = 0;
    ASSERT_TRUE(RunFake(&Output, &Errors, ExitCode));
    EXPECT_EQ(ExitCode, 5u);
    EXPECT_EQ(Output, (TStrings{L"one", L"three"}));
    EXPECT_EQ(Errors, (TStrings{L"two", L"four"}));

    // One list for both: one pipe, so the order is the order of the writes.
    TStrings Both;
    ASSERT_TRUE(RunFake(&Both, &Both, ExitCode));
    EXPECT_EQ(Both, (TStrings{L"one", L"two", L"three", L"four"}));

    // Neither list: the output is still drained, so the child finishes.
    ASSERT_TRUE(RunFake(nullptr, nullptr, ExitCode));
    EXPECT_EQ(ExitCode, 5u);
}

TEST(RunProcess, CapturesEveryByteInOrderIncludingWhatIsLeftInThePipeAtExit)
{
    TScratchDir Dir;
    // Small output that sits in the pipe when the child is already gone,
    // and large output in big pieces written right before the exit.
    for (const char* Script : {"out tail without line end\nexit 0\n", "chunk 1000000\ntagbytes 3000000\nexit 0\n"}) {
        TScript Steer(Dir, Script);
        TMemoryStream Output;
        std::uint32_t ExitCode = 1;
        ASSERT_TRUE(RunProcess(QuotedStr(FakeCtags()) + L" x.c", nullptr, &Output, nullptr, ExitCode, SW_HIDE, 0));
        EXPECT_EQ(ExitCode, 0u);
        if (std::string(Script).rfind("out", 0) == 0) {
            EXPECT_EQ(Bytes(Output), "tail without line end");
            continue;
        }
        // The same generator in-process gives the expected bytes.
        TStrings Lines = SplitTextLines(DecodeText(Bytes(Output)));
        ASSERT_GE(Output.Bytes().size(), 3000000u);
        ASSERT_EQ(Lines.size() > 1000, true);
        for (size_t I = 0; I < Lines.size(); I += 997)
            EXPECT_NE(Lines[I].find(L"\tx.c\t" + std::to_wstring(I * 7 + 1) + L";\""), std::wstring::npos) << I;
        EXPECT_EQ(Bytes(Output).back(), '\n');
    }
}

TEST(RunProcess, FeedsLargeInputWhileDrainingLargeOutput)
{
    TScratchDir Dir;
    // The child echoes its input: if feeding blocked the drains, the child
    // would stall on a full output pipe and never read the rest.
    TScript Script(Dir, "chunk 65536\nstdin\nexit 0\n");
    std::string Data;
    for (int I = 0; Data.size() < 4 * 1024 * 1024; ++I)
        Data += "line " + std::to_string(I) + "\r\n";
    TMemoryStream Input;
    Input.WriteBuffer("skipped", 7);
    Input.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    Input.SetPosition(7); // only what follows the position is fed
    TMemoryStream Output;
    Output.WriteBuffer("kept:", 5); // appended at the position
    std::uint32_t ExitCode = 1;
    ASSERT_TRUE(RunProcess(QuotedStr(FakeCtags()), &Input, &Output, nullptr, ExitCode, SW_HIDE, 0));
    EXPECT_EQ(ExitCode, 0u);
    EXPECT_TRUE(Bytes(Output) == "kept:" + Data);

    // The list form writes each line with CR LF.
    TStrings Lines{L"alpha", L"", L"gamma"};
    TStrings Echo;
    ASSERT_TRUE(RunFake(&Echo, nullptr, ExitCode, &Lines));
    EXPECT_EQ(Echo, Lines);
}

TEST(RunProcess, EventsFireOnTheCallersThreadAfterEachChunkIsStored)
{
    TScratchDir Dir;
    TScript Script(Dir, "chunk 4096\ntagbytes 200000\nerr warning\\n\nexit 0\n");
    TMemoryStream Output;
    TMemoryStream Errors;
    std::string Seen;
    std::string SeenErrors;
    bool StoredFirst = true;
    bool SameThread = true;
    bool ProcessGiven = true;
    const DWORD Caller = ::GetCurrentThreadId();
    const TProcessOutputEvent OnOutput = [&](HANDLE Process, const void* Data, std::uint32_t Count) {
        SameThread = SameThread && ::GetCurrentThreadId() == Caller;
        ProcessGiven = ProcessGiven && ::GetProcessId(Process) != 0;
        EXPECT_GT(Count, 0u);
        Seen.append(static_cast<const char*>(Data), Count);
        StoredFirst = StoredFirst && Output.Bytes().size() == Seen.size();
    };
    const TProcessOutputEvent OnError = [&](HANDLE, const void* Data, std::uint32_t Count) {
        SameThread = SameThread && ::GetCurrentThreadId() == Caller;
        SeenErrors.append(static_cast<const char*>(Data), Count);
    };
    std::uint32_t ExitCode = 1;
    ASSERT_TRUE(RunProcess(QuotedStr(FakeCtags()), nullptr, &Output, &Errors, ExitCode, SW_HIDE, 0, OnOutput, OnError));
    EXPECT_TRUE(SameThread);
    EXPECT_TRUE(ProcessGiven);
    EXPECT_TRUE(StoredFirst);
    EXPECT_TRUE(Seen == Bytes(Output));
    EXPECT_EQ(SeenErrors, "warning\n");
    EXPECT_EQ(Bytes(Errors), "warning\n");
}

TEST(RunProcess, AnEventThatRaisesEndsTheRunCleanly)
{
    TScratchDir Dir;
    TScript Script(Dir, "chunk 4096\ntagbytes 100000\nexit 0\n");
    TMemoryStream Output;
    std::uint32_t ExitCode = 0;
    const TProcessOutputEvent OnOutput = [](HANDLE, const void*, std::uint32_t) { throw EAbort(L"stop"); };
    // Reads still in flight must be cancelled before their buffer goes.
    EXPECT_THROW(RunProcess(QuotedStr(FakeCtags()), nullptr, &Output, nullptr, ExitCode, SW_HIDE, 0, OnOutput), EAbort);
    TStrings Lines;
    ASSERT_TRUE(RunFake(&Lines, nullptr, ExitCode));
    EXPECT_GT(Lines.size(), 1000u);
}

TEST(RunProcess, MissingProgramIsReportedByTheResult)
{
    TStrings Output{L"stale"};
    TStrings Errors{L"stale"};
    std::uint32_t ExitCode = 0;
    EXPECT_FALSE(RunProcess(L"\"lodestar-no-such-program.exe\" -x", static_cast<const TStrings*>(nullptr), &Output,
                            &Errors, ExitCode, SW_HIDE, 0));
    EXPECT_EQ(ExitCode, 0xFFFFFFu);
    EXPECT_TRUE(Output.empty());
    EXPECT_TRUE(Errors.empty());
}

TEST(RunProcess, ExitCodeIsTakenFromTheProcessNotGuessedFromStillActive)
{
    TScratchDir Dir;
    TScript Script(Dir, "out done\\n\nexit 259\n");
    TStrings Output;
    std::uint32_t ExitCode = 0;
    // A runner that polled for STILL_ACTIVE would run into the deadline.
    ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode, nullptr, Now() + 20.0 / 86400));
    EXPECT_EQ(ExitCode, 259u);
    EXPECT_EQ(Output, TStrings{L"done"});
}

TEST(RunProcess, DeadlineTerminatesTheChildAndKeepsWhatItWrote)
{
    TScratchDir Dir;
    TScript Script(Dir, "out before\\n\nsleep 30000\nout after\\n\n");
    TStrings Output;
    std::uint32_t ExitCode = 0;
    const auto Start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode, nullptr, Now() + 3.0 / 86400));
    EXPECT_LT(Seconds(Start), 25.0);
    EXPECT_EQ(ExitCode, 258u);
    EXPECT_EQ(Output, TStrings{L"before"});

    // A child that never stops writing keeps some pipe busy all the time;
    // the deadline must still be seen.
    TScript Endless(Dir, "chunk 65536\ntagbytes 4000000000\n");
    std::uint64_t Seen = 0;
    TMemoryStream Errors;
    const auto CountOutput = [&](HANDLE, const void*, std::uint32_t Count) { Seen += Count; };
    const auto Begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunProcess(QuotedStr(FakeCtags()), nullptr, nullptr, &Errors, ExitCode, SW_HIDE, 0, CountOutput, {},
                           Now() + 3.0 / 86400));
    EXPECT_LT(Seconds(Begin), 25.0);
    EXPECT_EQ(ExitCode, 258u);
    EXPECT_GT(Seen, 0u);
}

// A child that hangs writes nothing, so no output event ever comes: the
// turns must come all the same, and the one that raises ends the child.
TEST(RunProcess, TurnsComeWhileTheChildIsSilentAndARaisingTurnEndsIt)
{
    TScratchDir Dir;
    const std::wstring Started = Dir / L"started";
    const std::wstring Finished = Dir / L"finished";
    const auto Narrow = [](const std::wstring& Text) { return std::string(Text.begin(), Text.end()); };
    TScript Script(Dir, "pid " + Narrow(Started) + "\nsleep 90000\npid " + Narrow(Finished) + "\n");
    int TurnsWhileRunning = 0;
    const TProcessTurnEvent OnTurn = [&] {
        if (!FileExists(Started))
            return;
        if (++TurnsWhileRunning == 3)
            throw EAbort(L"Esc");
    };
    TMemoryStream Output;
    std::uint32_t ExitCode = 0;
    EXPECT_THROW(RunProcess(QuotedStr(FakeCtags()), nullptr, &Output, nullptr, ExitCode, SW_HIDE, 0, {}, {}, 0, OnTurn),
                 EAbort);
    EXPECT_EQ(TurnsWhileRunning, 3);
    // The child was ended and waited for before the runner returned.
    const DWORD Pid = std::stoul(ReadFileBytes(Started));
    TKernelHandle Child(::OpenProcess(SYNCHRONIZE, FALSE, Pid));
    if (Child) {
        EXPECT_EQ(::WaitForSingleObject(Child.get(), 0), WAIT_OBJECT_0);
    }
    EXPECT_FALSE(FileExists(Finished));
}

// The runner's files (the child's output and errors) go whatever ends the
// run: the child's exit, its crash, the caller's Esc, the deadline.
TEST(RunProcess, TheRunnersFilesGoWhateverEndsTheRun)
{
    TScratchDir Dir;
    const std::wstring Temp = Dir / L"tmp";
    ::CreateDirectoryW(Temp.c_str(), nullptr);
    const TEnvOverride Tmp(L"TMP", Temp);
    const TEnvOverride TempVar(L"TEMP", Temp);
    const std::wstring Started = Dir / L"started";
    const auto Narrow = [](const std::wstring& Text) { return std::string(Text.begin(), Text.end()); };
    const struct {
        const char* Case;
        std::string Script;
        bool Cancel;
        double Deadline;
        std::uint32_t ExitCode;
    } Cases[] = {
        {"exit", "out a\\n\nerr b\\n\n", false, 0, 0},
        {"crash", "out a\\n\nchunk 1000000\ntags 100\ncrash\n", false, 0, 0xC0000005},
        {"Esc", "pid " + Narrow(Started) + "\nsleep 90000\n", true, 0, 0},
        {"deadline", "out a\\n\nsleep 90000\n", false, 3.0, ProcessTimedOut},
    };
    for (const auto& Case : Cases) {
        ::DeleteFileW(Started.c_str());
        const TScript Script(Dir, Case.Script);
        TMemoryStream Output, Errors;
        std::uint32_t ExitCode = 0;
        const TProcessTurnEvent Turn = [&] {
            if (Case.Cancel && FileExists(Started))
                throw EAbort(L"Esc");
        };
        const double Deadline = Case.Deadline > 0 ? Now() + Case.Deadline / 86400 : 0;
        try {
            RunProcess(QuotedStr(FakeCtags()), nullptr, &Output, &Errors, ExitCode, SW_HIDE, 0, {}, {}, Deadline, Turn);
            EXPECT_FALSE(Case.Cancel) << Case.Case;
            EXPECT_EQ(ExitCode, Case.ExitCode) << Case.Case;
        } catch (const EAbort&) {
            EXPECT_TRUE(Case.Cancel) << Case.Case;
        }
        EXPECT_TRUE(toolsupport::LeftIn(Temp).empty()) << Case.Case;
    }
}

// A child that writes without end, faster than its output can be copied:
// the caller's turns still come (the one that raises ends the run), and
// past a limit the child is ended with no more than the limit held.
// Exactly the limit is not past it.
TEST(RunProcess, AFloodingChildGivesTurnsAndIsEndedPastItsLimit)
{
    TScratchDir Dir;
    const std::wstring Temp = Dir / L"tmp";
    ::CreateDirectoryW(Temp.c_str(), nullptr);
    const TEnvOverride Tmp(L"TMP", Temp);
    const TEnvOverride TempVar(L"TEMP", Temp);
    const std::wstring Started = Dir / L"started";
    const std::string Pid = "pid " + WideToUtf8(Started) + "\n";
    constexpr std::uint64_t Big = ProcessOutputLimit;
    const struct {
        const char* Case;
        std::string Script;
        std::uint64_t OutputLimit, ErrorLimit;
        bool Cancel;
        TProcessFailure Failure;
    } Cases[] = {
        {"output, cancelled", Pid + "flood out\n", Big, Big, true, TProcessFailure::None},
        {"errors, cancelled", Pid + "flood err\n", Big, Big, true, TProcessFailure::None},
        {"output past its limit", Pid + "flood out\n", 8 << 20, Big, false, TProcessFailure::OutputLimit},
        {"errors past their limit", Pid + "flood err\n", Big, 64 << 10, false, TProcessFailure::ErrorLimit},
        {"exactly the limit", Pid + "out 0123456789\n", 10, 10, false, TProcessFailure::None},
        {"one byte past it at the exit", Pid + "out 0123456789\n", 9, 9, false, TProcessFailure::OutputLimit},
    };
    for (const auto& Case : Cases) {
        ::DeleteFileW(Started.c_str());
        const TScript Script(Dir, Case.Script);
        TProcessOptions Options;
        Options.OutputLimit = Case.OutputLimit;
        Options.ErrorLimit = Case.ErrorLimit;
        TProcessStatus Status;
        TMemoryStream Output, Errors;
        std::uint32_t ExitCode = 0;
        const TProcessTurnEvent Turn = [&] {
            if (Case.Cancel && FileExists(Started))
                throw EAbort(L"Esc");
        };
        try {
            EXPECT_TRUE(RunProcess(QuotedStr(FakeCtags()), nullptr, &Output, &Errors, ExitCode, SW_HIDE, 0, {}, {}, 0,
                                   Turn, Options, &Status))
                << Case.Case;
            EXPECT_FALSE(Case.Cancel) << Case.Case;
            EXPECT_EQ(Status.Failure, Case.Failure) << Case.Case;
            EXPECT_EQ(ExitCode, Case.Failure == TProcessFailure::None ? 0u : ProcessOutputExceeded) << Case.Case;
        } catch (const EAbort&) {
            EXPECT_TRUE(Case.Cancel) << Case.Case;
        }
        EXPECT_LE(Output.Bytes().size(), Case.OutputLimit) << Case.Case;
        EXPECT_LE(Errors.Bytes().size(), Case.ErrorLimit) << Case.Case;
        // Ended and waited for, and its files gone with it.
        ASSERT_TRUE(FileExists(Started)) << Case.Case;
        TKernelHandle Child(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(ReadFileBytes(Started))));
        if (Child) {
            EXPECT_EQ(::WaitForSingleObject(Child.get(), 0), WAIT_OBJECT_0) << Case.Case;
        }
        EXPECT_TRUE(toolsupport::LeftIn(Temp).empty()) << Case.Case;
    }
}

// The program, folder and environment given are the child's: the program
// runs by exactly the path given, whatever the command line's first word
// says, with nothing added to it; the folder must be one.
TEST(RunProcess, TheChildGetsTheProgramFolderAndEnvironmentGiven)
{
    TScratchDir Dir;
    const std::wstring Own = Dir / L"own";
    ::CreateDirectoryW(Own.c_str(), nullptr);
    const std::wstring Told = Dir / L"told.txt";
    const TScript Script(Dir, "cwd\ntmpfile " + WideToUtf8(Told) + "\n");
    tagstest::WriteFileBytes(Dir / L"a-file", "");
    const std::wstring Program = FakeCtags();
    const std::wstring NoExe = Program.substr(0, Program.size() - 4);
    const struct {
        const char* Case;
        std::wstring Program, Directory;
        bool Started;
        TProcessFailure Failure;
    } Cases[] = {
        {"as given", Program, Own, true, TProcessFailure::None},
        {"no .exe added", NoExe, L"", false, TProcessFailure::Start},
        {"a missing folder", Program, Dir / L"missing", false, TProcessFailure::Directory},
        {"a file for a folder", Program, Dir / L"a-file", false, TProcessFailure::Directory},
    };
    for (const auto& Case : Cases) {
        TProcessOptions Options;
        Options.Program = Case.Program;
        Options.Directory = Case.Directory;
        Options.Environment = {L"tmp=" + Own, L"TEMP=" + Own};
        TProcessStatus Status;
        TStrings Output;
        std::uint32_t ExitCode = 1;
        ::DeleteFileW(Told.c_str());
        EXPECT_EQ(RunProcess(L"\"no-such-program\" x.c", static_cast<const TStrings*>(nullptr), &Output, nullptr,
                             ExitCode, SW_HIDE, 0, {}, {}, 0, {}, Options, &Status),
                  Case.Started)
            << Case.Case;
        EXPECT_EQ(Status.Failure, Case.Failure) << Case.Case;
        if (!Case.Started) {
            EXPECT_NE(Status.SystemError, 0u) << Case.Case;
            EXPECT_EQ(ExitCode, ProcessNotStarted) << Case.Case;
            continue;
        }
        EXPECT_EQ(Output, TStrings{Own}) << Case.Case;
        // TMP and TEMP are replaced whatever their case; FAKECTAGS_SCRIPT,
        // which made it run the script, came along.
        const std::string Made = ReadFileBytes(Told);
        EXPECT_EQ(CodePageToWide(CP_UTF8, Made).rfind(Own + L"\\", 0), 0u) << Made;
        ::DeleteFileW(CodePageToWide(CP_UTF8, Made).c_str());
    }
}

TEST(RunProcess, EndsWhenTheChildExitsEvenIfItsOwnChildHoldsThePipe)
{
    TScratchDir Dir;
    const std::wstring Hold = Dir / L"hold";
    WriteFileBytes(Hold, "");
    const auto Narrow = [](const std::wstring& Text) { return std::string(Text.begin(), Text.end()); };
    // The grandchild shares the output pipe and waits until the test lets
    // it go, which is only after the run has returned.
    TScript Grandchild(Dir, "waitwhile " + Narrow(Hold) + "\nout late\\n\n", L"grandchild.txt");
    TScript Script(Dir, "out mine\\n\nspawn " + Narrow(Grandchild.Path()) + "\nsleep 100\nout also mine\\n\nexit 3\n");
    TStrings Output;
    std::uint32_t ExitCode = 0;
    const auto Start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode));
    EXPECT_LT(Seconds(Start), 20.0); // the grandchild gives up after 30
    ::DeleteFileW(Hold.c_str());
    EXPECT_EQ(ExitCode, 3u);
    EXPECT_EQ(Output, (TStrings{L"mine", L"also mine"}));
}

TEST(RunProcess, ChildInheritsOnlyItsStandardHandles)
{
    TScratchDir Dir;
    SECURITY_ATTRIBUTES Inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    TKernelHandle Event(::CreateEventW(&Inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(Event.valid());
    char Value[32];
    std::snprintf(Value, sizeof(Value), "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(Event.get())));
    TScript Script(Dir, std::string("handle ") + Value + "\n");
    TStrings Output;
    std::uint32_t ExitCode = 1;
    ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode));
    EXPECT_EQ(Output, TStrings{L"invalid"});
}

TEST(RunProcess, DecodesByMarkThenUtf8ThenAnsiAndSplitsAtEveryLineEnd)
{
    TScratchDir Dir;
    TStrings Output;
    std::uint32_t ExitCode = 1;
    {
        TScript Script(Dir, "out gr\\xC3\\xB6\\xC3\\x9Fe\\r\\nb\\nc\\rd\n");
        ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode));
        EXPECT_EQ(Output, (TStrings{L"gr\u00F6\u00DFe", L"b", L"c", L"d"}));
    }
    {
        // Not valid UTF-8: the ANSI code page decides.
        TScript Script(Dir, "out caf\\xE9\\n\n");
        ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode));
        EXPECT_EQ(Output, TStrings{CodePageToWide(CP_ACP, "caf\xE9")});
    }
    {
        TScript Script(Dir, "out \\xFF\\xFEa\\x00\\n\\x00b\\x00\n");
        ASSERT_TRUE(RunFake(&Output, nullptr, ExitCode));
        EXPECT_EQ(Output, (TStrings{L"a", L"b"}));
    }
}

TEST(DecodeText, MarksUtf8AnsiAndTheEndOfALineAtNul)
{
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                         "caf\xC3\xA9"),
              L"caf\u00E9");
    EXPECT_EQ(DecodeText("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_EQ(DecodeText("caf\xE9"), CodePageToWide(CP_ACP, "caf\xE9"));
    // A mark wins over what the bytes would look like without it.
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF\x00\x41\x20\xAC", 6)), L"A\u20AC");
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE\x41\x00\xAC\x20", 6)), L"A\u20AC");
    // A NUL ends its line only: the lines after it still count.
    EXPECT_EQ(DecodeText(std::string("ab\0cd", 5)), std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(SplitTextLines(DecodeText(std::string("ab\0cd\nef\n\0\ngh", 13))), (TStrings{L"ab", L"ef", L"", L"gh"}));
    EXPECT_EQ(DecodeText(""), L"");

    EXPECT_EQ(SplitTextLines(L"a\r\nb\nc\rd\r\n"), (TStrings{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(SplitTextLines(L"\r\n\r\n"), (TStrings{L"", L""}));
    EXPECT_EQ(SplitTextLines(L"\n\r"), (TStrings{L"", L""}));
    EXPECT_TRUE(SplitTextLines(L"").empty());
}

// Longer texts take the block-wise routes of the decoder and the line
// splitter; they must give what the plain routes give.
TEST(DecodeText, LongTextsDecodeAsShortOnes)
{
    const std::string A(40, 'a');
    const std::wstring WideA(40, L'a');
    const struct {
        std::string Bytes;
        std::wstring Text;
    } Cases[] = {
        {A, WideA},
        {A + "\xC3\xA9" + A, WideA + L"\u00E9" + WideA},
        {std::string(A + '\0' + "\xC3\xA9"), WideA},
        {std::string(A + "\xC3\xA9" + '\0' + "b"), WideA + L"\u00E9"},
        {std::string(15, 'a') + '\0' + A, std::wstring(15, L'a')},
        {std::string(15, 'a') + "\xE9" + A, CodePageToWide(CP_ACP, std::string(15, 'a') + "\xE9" + A)},
        {std::string(A + "\xE9" + '\0' + "b"), CodePageToWide(CP_ACP, A + "\xE9")},
    };
    // The cases hold no line break: their one line ends at a NUL.
    for (const auto& Case : Cases)
        EXPECT_EQ(SplitTextLines(DecodeText(Case.Bytes)).at(0), Case.Text) << ::testing::PrintToString(Case.Bytes);
}

// Beyond what the system decodes in one call, the text is an error, never
// an empty text that reads as "no tags". Only the first page of the bytes
// is ever touched.
TEST(DecodeText, OutputTooLargeToDecodeIsAnError)
{
    const size_t Size = size_t(INT_MAX) + 8;
    void* Memory = ::VirtualAlloc(nullptr, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(Memory, nullptr);
    const auto Free = ScopeExit([&] { ::VirtualFree(Memory, 0, MEM_RELEASE); });
    static_cast<char*>(Memory)[0] = '\xC3';
    EXPECT_THROW(DecodeText(std::string_view(static_cast<const char*>(Memory), Size)), EStringError);
    static_cast<char*>(Memory)[0] = '\xEF';
    static_cast<char*>(Memory)[1] = '\xBB';
    static_cast<char*>(Memory)[2] = '\xBF';
    static_cast<char*>(Memory)[3] = '\xC3';
    EXPECT_THROW(DecodeText(std::string_view(static_cast<const char*>(Memory), Size)), EStringError);
}

TEST(SplitTextLines, RandomTextsSplitAsByHand)
{
    std::mt19937 Random(11);
    const std::wstring Alphabet = L"ab\t\r\n";
    for (int Round = 0; Round < 3000; ++Round) {
        std::wstring Text;
        for (size_t Length = Random() % 60; Length > 0; --Length)
            Text += Alphabet[Random() % Alphabet.size()];
        TStrings Expected(1);
        for (size_t I = 0; I < Text.size(); ++I) {
            if (Text[I] != L'\r' && Text[I] != L'\n') {
                Expected.back() += Text[I];
                continue;
            }
            if (Text[I] == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n')
                ++I;
            if (I + 1 < Text.size())
                Expected.emplace_back();
        }
        if (Text.empty())
            Expected.clear();
        ASSERT_EQ(SplitTextLines(Text), Expected) << ::testing::PrintToString(Text);
        const size_t From = Random() % (Text.size() + 1);
        ASSERT_EQ(FindEither(Text, From, L'\t', L'b'), std::min(Text.find_first_of(L"\tb", From), Text.size()));
        // The same search over bytes, with runs longer than its blocks.
        std::string Bytes = WideToUtf8(Text) + std::string(Random() % 80, 'x');
        if (Random() % 2 == 0)
            Bytes += "\t";
        const size_t Start = Random() % (Bytes.size() + 1);
        ASSERT_EQ(FindByte(Bytes, Start, '\t'), std::min(Bytes.find('\t', Start), Bytes.size()));
    }
}
