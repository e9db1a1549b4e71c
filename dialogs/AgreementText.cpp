#include "dialogs/AgreementText.h"

#include <cstddef>

namespace {

struct Paragraph {
    const wchar_t* mark;  // "1." or "A."
    const wchar_t* text;
};

struct Section {
    const wchar_t* heading;
    const Paragraph* paragraphs;
    size_t count;
};

template <size_t N>
constexpr Section MakeSection(const wchar_t* heading, const Paragraph (&paragraphs)[N]) {
    return Section{heading, paragraphs, N};
}

constexpr wchar_t kLineEnd[] = L"\r\n";
constexpr wchar_t kIndent[] = L"    ";

constexpr wchar_t kTitle[] = L"Corvel服务工具使用许可协议";

constexpr Paragraph kNotice[] = {
    {L"1.", L"本协议是您（个人或单位）与Corvel之间就Corvel服务工具（以下简称“本工具”）的获取、安装和使用所订立的协议。"
            L"请您在使用本工具之前仔细阅读本协议的全部内容，特别是限制或免除Corvel责任的条款。"},
    {L"2.", L"您勾选同意本协议并点击“修复”按钮，即表示您已阅读、理解并接受本协议的全部条款。"
            L"如果您不同意本协议的任何条款，请取消勾选，不要使用本工具，并删除本工具的全部文件。"},
    {L"3.", L"Corvel可以根据服务的需要修改本协议。修改后的协议随本工具的新版本一同提供，"
            L"您使用新版本即视为接受修改后的协议。"},
};

constexpr Paragraph kIntellectualProperty[] = {
    {L"1.", L"本工具的程序代码、界面设计、图片、文字及随附文档的著作权和其他知识产权归Corvel或其许可方所有，"
            L"受著作权法及相关国际条约的保护。"},
    {L"2.", L"本工具所运行的固件更新程序及其固件文件的知识产权归其各自的权利人所有。本协议不向您转让任何知识产权，"
            L"也不授权您使用Corvel的名称、商标和标识。"},
};

constexpr Paragraph kLicenceScope[] = {
    {L"1.", L"Corvel免费授予您一项非独占、不可转让的使用许可：您可以在您拥有或合法使用的、本工具适用的Corvel电脑上运行本工具，"
            L"用于修复该电脑的灯效闪烁问题。"},
    {L"2.", L"本协议未明确授予您的权利均由Corvel保留。您不得出租、出借或出售本工具，不得将本工具用于收费服务，"
            L"也不得以本工具为基础开发其他产品。"},
};

constexpr Paragraph kConditionsOfUse[] = {
    {L"1.", L"使用本工具时，您不得有下列行为："},
    {L"A.", L"对本工具进行反向工程、反向汇编或反向编译，法律明确允许的除外；"},
    {L"B.", L"删除或修改本工具中的版权声明及其他权利标识；"},
    {L"C.", L"修改、替换本工具的程序文件，或其所运行的固件更新程序及固件文件；"},
    {L"D.", L"在本工具不适用的电脑或操作系统上强行运行本工具；"},
    {L"E.", L"绕过本工具的系统版本检查或其他保护措施；"},
    {L"F.", L"干扰本工具与Corvel服务器之间的正常通信；"},
    {L"G.", L"利用本工具从事违反法律法规或者损害他人合法权益的活动。"},
    {L"2.", L"本工具仅适用于Windows 10系统，运行时需要管理员权限。您同意本工具以管理员权限在后台运行固件更新程序，"
            L"运行期间不显示该程序的窗口。"},
    {L"3.", L"修复开始前，请保存您正在编辑的文件并关闭其他程序。修复过程中请保持电脑接通电源，"
            L"不要关机、重启或强行结束本工具，以免设备损坏。"},
    {L"4.", L"修复的结果以本工具显示的提示为准。如提示修复失败或无法检测到设备，请联系Corvel客户服务。"},
    {L"5.", L"本工具启动后会通过网络检查是否有更新的版本。如有，本工具将提示您，打开新版本的下载页面并退出，"
            L"请使用新版本完成修复。"},
    {L"6.", L"本工具为一次性使用的工具，退出后会自动删除其所在的文件夹。请在本工具原有的文件夹中运行本工具，"
            L"不要在该文件夹中存放其他文件。"},
};

constexpr Paragraph kPrivacy[] = {
    {L"1.", L"Corvel重视对您隐私的保护。本工具只处理实现其功能所必需的信息，不收集您的姓名、联系方式、账号或文件内容。"},
    {L"2.", L"本工具通过随附的反馈组件与Corvel的服务器通信，用于检查新版本和提交您的反馈。"},
    {L"3.", L"本工具及其反馈组件会处理以下信息："},
    {L"A.", L"本工具的工具编号和版本号，用于检查新版本和区分反馈的来源；"},
    {L"B.", L"新版本检查的结果，即是否存在本工具的新版本；"},
    {L"C.", L"您关闭本工具时对“问题是否已解决”的回答，以及回答的时间。"},
    {L"4.", L"本工具在本电脑上保存一份工具日志："},
    {L"A.", L"修复失败或无法检测到设备时，本工具在工具日志中写入一条记录，修复成功不作记录；"},
    {L"B.", L"每条记录只包含发生的时间和一句简短的故障说明；"},
    {L"C.", L"工具日志保存在本电脑的公共应用程序数据文件夹中；"},
    {L"D.", L"日志文件超过约六兆字节时改作备份，只保留一份备份；"},
    {L"E.", L"工具日志不会自动上传，只有您主动提供给Corvel客户服务时，Corvel才会读取其内容。"},
    {L"5.", L"Corvel仅将上述信息用于以下目的："},
    {L"A.", L"判断是否需要向您提供本工具的新版本；"},
    {L"B.", L"统计本工具解决问题的效果，改进本工具及Corvel的产品和服务；"},
    {L"C.", L"在您寻求帮助时分析修复失败的原因；"},
    {L"D.", L"上述信息不用于广告推送，也不会出售给任何第三方。"},
    {L"6.", L"除法律法规规定或有关机关依法要求外，Corvel不会向第三方披露上述信息，并将采取合理的措施保护其安全。"},
    {L"7.", L"您可以随时删除本电脑上的工具日志。您点击“反馈问题”或“更多工具”后打开的网页，适用该网站自己的隐私政策。"},
};

constexpr Paragraph kLiability[] = {
    {L"1.", L"本工具按现状免费提供。Corvel尽力使本工具安全有效，但不保证本工具能够修复所有电脑的灯效闪烁问题，"
            L"也不保证本工具的运行不会中断或没有错误。"},
    {L"2.", L"因您违反本协议、在不适用的电脑上运行本工具，或者在修复过程中断电、关机、强行结束程序而造成的损失，由您自行承担。"},
    {L"3.", L"因网络故障、系统故障、计算机病毒或其他不可抗力导致本工具无法正常使用的，Corvel不承担责任，但会尽力减少由此带来的影响。"},
    {L"4.", L"在法律允许的最大范围内，Corvel不对因使用或无法使用本工具而产生的任何间接损失、附带损失或数据丢失承担责任。"},
    {L"5.", L"本工具退出后删除其所在的文件夹。因您在该文件夹中存放其他文件而造成的文件丢失，Corvel不承担责任。"},
    {L"6.", L"通过本工具打开的第三方网页和内容由其提供者负责，Corvel不对其内容承担责任。"},
    {L"7.", L"您违反本协议的，Corvel有权终止您使用本工具的许可；给Corvel或他人造成损失的，您应依法承担赔偿责任。"},
};

constexpr Paragraph kOtherTerms[] = {
    {L"1.", L"本协议的订立、效力、解释及争议的解决，适用中华人民共和国法律。因本协议产生的争议，双方应友好协商解决；"
            L"协商不成的，任何一方均可向Corvel所在地有管辖权的人民法院提起诉讼。"},
    {L"2.", L"本协议的任何条款被认定为无效或不可执行的，不影响其余条款的效力。本协议的标题仅为阅读方便而设，"
            L"不影响条款的含义。Corvel在法律允许的范围内对本协议享有解释权。"},
};

constexpr Section kSections[] = {
    MakeSection(L"一. 知识产权声明", kIntellectualProperty),
    MakeSection(L"二. 软件授权范围", kLicenceScope),
    MakeSection(L"三. 用户使用须知", kConditionsOfUse),
    MakeSection(L"四. 隐私权保护", kPrivacy),
    MakeSection(L"五. 法律责任与免责", kLiability),
    MakeSection(L"六. 其他条款", kOtherTerms),
};

// Each paragraph starts a new line, so that the text never ends in a line break.
void AppendParagraphs(std::wstring& out, const Paragraph* paragraphs, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        out += kLineEnd;
        out += kIndent;
        out += paragraphs[i].mark;
        out += L' ';
        out += paragraphs[i].text;
    }
}

}  // namespace

std::wstring BuildAgreementText() {
    std::wstring text;
    text.reserve(4096);
    text += kTitle;
    text += kLineEnd;
    text += kLineEnd;
    text += L"重要须知";
    AppendParagraphs(text, kNotice, sizeof(kNotice) / sizeof(kNotice[0]));
    for (const Section& s : kSections) {
        text += kLineEnd;
        text += kLineEnd;
        text += s.heading;
        AppendParagraphs(text, s.paragraphs, s.count);
    }
    return text;
}
