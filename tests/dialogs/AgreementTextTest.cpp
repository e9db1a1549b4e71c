#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/AgreementText.h"

namespace {

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The marks of the paragraphs and items under one heading, in order.
struct Block {
    std::wstring heading;
    std::vector<std::wstring> marks;
};

std::vector<std::wstring> Numbers(int from, int to) {
    std::vector<std::wstring> v;
    for (int i = from; i <= to; ++i) v.push_back(std::to_wstring(i) + L".");
    return v;
}

std::vector<std::wstring> Letters(wchar_t last) {
    std::vector<std::wstring> v;
    for (wchar_t c = L'A'; c <= last; ++c) v.push_back(std::wstring(1, c) + L".");
    return v;
}

std::vector<std::wstring> Join(std::initializer_list<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

const std::vector<Block>& ExpectedBlocks() {
    static const std::vector<Block> blocks = {
        {L"重要须知", Numbers(1, 3)},
        {L"一. 知识产权声明", Numbers(1, 2)},
        {L"二. 软件授权范围", Numbers(1, 2)},
        {L"三. 用户使用须知", Join({{L"1."}, Letters(L'G'), Numbers(2, 6)})},
        {L"四. 隐私权保护", Join({Numbers(1, 3), Letters(L'C'), {L"4."}, Letters(L'E'), {L"5."}, Letters(L'D'),
                                  Numbers(6, 7)})},
        {L"五. 法律责任与免责", Numbers(1, 7)},
        {L"六. 其他条款", Numbers(1, 2)},
    };
    return blocks;
}

}  // namespace

TEST(AgreementText, LinesAreSeparatedByCrLfOnlyAndTheLastHasNoBreak) {
    const std::wstring text = BuildAgreementText();
    ASSERT_FALSE(text.empty());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            ASSERT_LT(i + 1, text.size()) << "CR at the very end";
            EXPECT_EQ(text[i + 1], L'\n') << "lone CR at " << i;
        } else if (text[i] == L'\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == L'\r') << "lone LF at " << i;
        } else {
            EXPECT_TRUE(text[i] >= 0x20) << "control character at " << i;
        }
    }
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L'\r');
}

TEST(AgreementText, FollowsTheStructureOfTitleNoticeAndSixSections) {
    const std::vector<std::wstring> lines = SplitLines(BuildAgreementText());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"Corvel服务工具使用许可协议");
    EXPECT_EQ(lines[1], L"");

    size_t at = 2;
    const std::vector<Block>& blocks = ExpectedBlocks();
    for (size_t b = 0; b < blocks.size(); ++b) {
        const Block& block = blocks[b];
        if (b > 0) {
            ASSERT_LT(at, lines.size());
            EXPECT_EQ(lines[at], L"") << "no blank line before " << static_cast<int>(b);
            ++at;
        }
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at], block.heading);
        ++at;
        for (const std::wstring& mark : block.marks) {
            ASSERT_LT(at, lines.size()) << "text ends inside block " << static_cast<int>(b);
            const std::wstring& line = lines[at];
            const std::wstring prefix = L"    " + mark;
            EXPECT_TRUE(StartsWith(line, prefix)) << "block " << static_cast<int>(b) << " line " << at;
            // Something is said after the mark, and the wording does not run on
            // into a second paragraph of its own.
            const std::wstring body = line.size() > prefix.size() ? line.substr(prefix.size()) : L"";
            EXPECT_GT(body.size(), 8u) << "line " << at;
            const wchar_t last = line.empty() ? L'\0' : line.back();
            EXPECT_TRUE(last == L'。' || last == L'；' || last == L'：') << "line " << at;
            ++at;
        }
    }
    // Nothing follows the last paragraph of the last section.
    EXPECT_EQ(at, lines.size());
}
