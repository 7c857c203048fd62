// Console output through a real pipe: the narrow topic-count line among the
// wide lines, UTF-8 for Cyrillic and non-BMP text, unpaired surrogates, and
// plain digits whatever the locale.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "packing/module_writer.h"
#include "platform/console.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::vector<std::string> dumpModule(const rvlpack::Module& m, const std::vector<std::string>& env) {
    ScratchDir dir;
    EXPECT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    ProcessResult r = runProcess({testBinDir() + "/rvl-module-dump", dir.file("m.rvl")}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return lines(r.out);
}

rvlpack::Module surrogateModule() {
    rvlpack::Module m;
    rvlpack::Topic t;
    t.name = L"Эмодзи";
    rvlpack::Question q;
    q.type = 'I';
    q.question = std::wstring(L"Смайл ") + wchar_t(0xD83D) + wchar_t(0xDE00);  // U+1F600 as a pair
    q.answer = std::wstring(L"Сирота ") + wchar_t(0xD83D) + L" конец";        // a lone high surrogate
    q.points = 65535;
    q.media.assign(1234, 0x55);
    t.questions.push_back(q);
    rvlpack::Question after;
    after.question = std::wstring(1, wchar_t(0xDE00)) + L" после";            // a lone low surrogate
    after.answer = L"Ещё\x1b]0;T\x07\x7f\x9b\r";  // escapes, DEL and C1 must not reach the terminal
    after.points = 1000;
    t.questions.push_back(after);
    m.topics.push_back(t);
    return m;
}

} // namespace

TEST(Console, EveryLineReachesStdoutInOrderUnderEachLocale) {
    const std::string smile = "\xF0\x9F\x98\x80";
    const std::string replacement = "\xEF\xBF\xBD";
    std::vector<std::string> expectedTrace = {
        "1",
        "Тема: Эмодзи2",
        "Вопрос: Смайл " + smile,
        "Ответ: Сирота " + replacement + " конец",
        "Очки: 65535",
        "File pos: 74",
        "File size: 1234",
        "---------------------",
        "Вопрос: " + replacement + " после",
        "Ответ: Ещё" + replacement + "]0;T" + replacement + replacement + replacement + replacement,
        "Очки: 1000",
        "File pos: 1355",
    };
    // The Russian locale groups digits and uses a decimal comma; numbers must
    // stay plain digits all the same.
    std::vector<std::vector<std::string>> environments = {
        {"LC_ALL=ru_RU.UTF-8", "LANG=ru_RU.UTF-8"}, {"LC_ALL=C", "LANG=C"}, {"LC_ALL=", "LANG="}};
    for (const auto& env : environments) {
        SCOPED_TRACE(env[0]);
        std::vector<std::string> got = dumpModule(surrogateModule(), env);
        ASSERT_GE(got.size(), expectedTrace.size());
        for (size_t i = 0; i < expectedTrace.size(); ++i) EXPECT_EQ(got[i], expectedTrace[i]) << "line " << i + 1;
        // The listing comes after the trace, so lines after the bad units arrived.
        bool listed = false;
        for (const std::string& line : got) listed = listed || line == "Версия: RVL1";
        EXPECT_TRUE(listed) << "listing missing after unpaired surrogates";
    }
}

TEST(Console, ClosedStdoutAndAPipeWithoutReaderLoseOutputButNotTheProgram) {
    for (bool closedDescriptor : {true, false}) {
        SCOPED_TRACE(closedDescriptor ? "stdout closed" : "stdout a pipe nobody reads");
        ProcessResult r = runInChild([&] {
            int p[2];
            if (pipe(p) != 0) _exit(2);
            close(p[0]);
            if (closedDescriptor) close(1);
            else dup2(p[1], 1);
            installUtf8Console();
            struct stat one {}, null {};
            fstat(1, &one);
            stat("/dev/null", &null);
            int fd = open("/dev/null", O_RDONLY);  // must not be handed fd 1
            std::wcout << L"строка" << std::endl;
            std::cout << "line" << std::endl;
            std::wcout << L"ещё" << std::endl;
            std::cerr << "fd1 null=" << (one.st_rdev == null.st_rdev && S_ISCHR(one.st_mode)) << " next fd=" << fd
                      << " wcout good=" << std::wcout.good() << std::endl;
        });
        EXPECT_EQ(r.signal, 0) << "SIGPIPE must not end the program";
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(closedDescriptor ? "fd1 null=1 next fd=" : "fd1 null=0 next fd="), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("wcout good=1"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("next fd=1 "), std::string::npos) << r.err;
    }
}
