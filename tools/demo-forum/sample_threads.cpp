#include "sample_threads.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace vesk::demo {

namespace {

constexpr std::array<std::string_view, 40> kSentences = {
    "今天放量突破平台，主力资金明显在进场，明天大概率继续冲高。",
    "年报业绩超预期，净利润同比增长百分之二十三，估值还不算贵。",
    "别追高了，上方套牢盘很重，等回踩五日线再考虑加仓。",
    "北向资金连续三天净买入，外资对这只票还是很认可的。",
    "分红方案出来了，每十股派现三十元，股息率接近百分之三。",
    "均线多头排列，成交量温和放大，技术面走得非常漂亮。",
    "我是三年前买的，一直拿着没动，长期持有才是正道。",
    "短线看有回调压力，日线级别的背离已经出现了，注意风险。",
    "机构调研纪要说下半年订单饱满，产能利用率在提升。",
    "大盘不好的时候它也能横住，说明筹码比较稳定。",
    "消费复苏的逻辑还在，旺季备货的数据会在下个月公布。",
    "融资余额创了新高，杠杆资金有点多，小心踩踏。",
    "看了一下十大股东，社保基金和养老金都加仓了。",
    "这个位置不建议割肉，基本面没有变化，耐心等待。",
    "季报出来之前大概率震荡，可以高抛低吸做一做差价。",
    "行业政策有利好，龙头公司受益最明显，继续看好。",
    "成本价一千六，已经解套了，准备减半仓落袋为安。",
    "周线级别的底部结构已经形成，中线资金可以分批布局。",
    "有没有人知道明天股东大会几点开始？想去现场听听。",
    "管理层换届之后战略更清晰了，渠道改革效果开始体现。",
    "美元加息的影响还没完全消化，外资短期可能还会流出。",
    "缩量回调是好事，洗掉不坚定的筹码才能走得更远。",
    "市盈率三十倍左右，放在历史区间里是偏低的位置。",
    "别听楼上的瞎说，这种票只适合价值投资，不适合炒短线。",
    "今天尾盘有大单扫货，明天高开的概率比较大。",
    "库存周期见底了，下游需求在慢慢恢复，业绩拐点可期。",
    "仓位控制最重要，满仓一只票风险太大了。",
    "竞争对手降价了，毛利率可能会受到一点影响。",
    "研报给的目标价比现价高三成，评级是买入。",
    "跌破年线就止损，纪律比预测更重要。",
    "这波行情是估值修复，不是业绩驱动，持续性要打个问号。",
    "回购计划公告了，公司自己都觉得股价被低估。",
    "新产品在海外市场卖得不错，出口数据连续增长。",
    "板块轮动太快了，追涨杀跌只会两头挨打。",
    "期权隐含波动率在上升，市场对后面的走势分歧很大。",
    "楼主分析得很到位，收藏了，谢谢分享。",
    "我觉得三季度才是真正的考验，现在下结论太早。",
    "换手率不高，说明大部分人还在观望。",
    "刚刚看了盘口，卖一挂了好几千手，压得很死。",
    "稳住，别慌，好公司的股票时间会给出答案。",
};

constexpr std::array<std::string_view, 14> kUserNames = {
    "股海老船长", "价值投资者2019", "韭菜的自我修养", "长线是金",   "短线快枪手",
    "K线猎人",    "量化小白",       "稳健的老张",     "财报细读者", "北漂炒股人",
    "趋势跟随者", "低吸不追高",     "红绿灯下",       "半仓哲学",
};

constexpr std::array<std::string_view, 6> kAddresses = {
    "222.71.*.*", "183.15.*.*", "116.24.*.*", "58.33.*.*", "192.168.1.*", "61.135.*.*",
};

// A small deterministic generator, so that every start of the forum serves the same pages.
class Random {
public:
    explicit Random(std::uint32_t nSeed) : m_nState(nSeed * 2654435761u + 1) {}
    std::uint32_t Next() {
        m_nState = m_nState * 1664525u + 1013904223u;
        return m_nState >> 8;
    }
    std::size_t Below(std::size_t n) { return Next() % n; }

private:
    std::uint32_t m_nState;
};

std::string TwoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string PostTime(int nIndex) {
    // One post every 17 minutes or so, from 2024-03-04 09:30 on.
    const int nMinutes = 9 * 60 + 30 + nIndex * 17;
    const int nDay = 4 + nMinutes / (24 * 60);
    const int nInDay = nMinutes % (24 * 60);
    return "2024-03-" + TwoDigits(nDay % 28 + 1) + " " + TwoDigits(nInDay / 60) + ":" +
           TwoDigits(nInDay % 60) + ":" + TwoDigits(nIndex * 7 % 60);
}

std::string LocalTime(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    char szTime[32];
    std::strftime(szTime, sizeof szTime, "%Y-%m-%d %H:%M:%S", &local);
    return szTime;
}

std::string Sentences(Random& random, std::size_t nCount) {
    std::string strText;
    for (std::size_t i = 0; i < nCount; ++i) {
        strText.append(kSentences[random.Below(kSentences.size())]);
    }
    return strText;
}

SampleThread MakeThread(std::string strCode, std::string strId, std::string strTitle,
                        std::string strBoard, std::string strStarter,
                        const std::vector<int>& postsPerPage) {
    SampleThread thread{
        std::move(strCode), std::move(strId), std::move(strTitle), std::move(strBoard), {}, {}};
    Random random(static_cast<std::uint32_t>(std::stoul(thread.strThreadId)));
    int nFloor = 0;
    for (const int nPosts : postsPerPage) {
        std::vector<SamplePost>& page = thread.pages.emplace_back();
        for (int i = 0; i < nPosts; ++i) {
            SamplePost post;
            post.nFloor = ++nFloor;
            post.strTime = PostTime(nFloor);
            const std::size_t nKind = random.Below(10);
            if (nFloor == 1 || nKind < 2) {
                post.strAuthor = strStarter;
                post.authorForm = SamplePost::AuthorForm::kUserSpan;
            } else if (nKind < 4) {
                post.strAuthor = kAddresses[random.Below(kAddresses.size())];
                post.authorForm = SamplePost::AuthorForm::kAddress;
            } else if (nKind < 6) {
                post.strAuthor = kUserNames[random.Below(kUserNames.size())];
                post.authorForm = SamplePost::AuthorForm::kLink;
            } else {
                post.strAuthor = kUserNames[random.Below(kUserNames.size())];
                post.authorForm = SamplePost::AuthorForm::kUserSpan;
            }
            const std::size_t nBody = random.Below(10);
            if (nFloor == 1) {
                post.bodyForm = SamplePost::BodyForm::kParagraphs;
                post.strBody = Sentences(random, 6);
            } else if (nBody < 4) {
                post.bodyForm = SamplePost::BodyForm::kPlain;
                post.strBody = Sentences(random, 1 + random.Below(3));
            } else if (nBody < 6) {
                post.bodyForm = SamplePost::BodyForm::kParagraphs;
                post.strBody = Sentences(random, 2 + random.Below(3));
            } else if (nBody < 7 && post.authorForm != SamplePost::AuthorForm::kLink) {
                post.bodyForm = SamplePost::BodyForm::kReplyThis;
                post.strBody = Sentences(random, 1);
            } else if (nBody < 8) {
                post.bodyForm = SamplePost::BodyForm::kQuote;
                post.strBody = Sentences(random, 2);
            } else if (nBody < 9) {
                post.bodyForm = SamplePost::BodyForm::kMsoNormal;
                post.strBody = Sentences(random, 2);
            } else {
                post.bodyForm = SamplePost::BodyForm::kPlain;
                post.strBody = Sentences(random, 1);
            }
            page.push_back(std::move(post));
        }
    }
    return thread;
}

std::string AuthorAndTime(const SamplePost& post) {
    switch (post.authorForm) {
        case SamplePost::AuthorForm::kUserSpan:
            return "<div class=zuozhe>作者：<span id=u" + std::to_string(post.strAuthor.size()) +
                   ">" + post.strAuthor +
                   "</span>&nbsp;&nbsp;<span class=shijian>发表时间：<span>" + post.strTime +
                   "</span></span></div>";
        case SamplePost::AuthorForm::kAddress:
            return "<div class=zuozhe>作者：<span class=ip>" + post.strAuthor +
                   "</span>&nbsp;&nbsp;<span class=shijian>发表时间：<span>" + post.strTime +
                   "</span></span></div>";
        case SamplePost::AuthorForm::kLink:
            return "<div class=zuozhe>作者：<a href=\"/people," +
                   std::to_string(post.strAuthor.size() * 7919) + ".html\" target=_blank>" +
                   post.strAuthor + "</a>&nbsp;&nbsp;发表时间：" + post.strTime + "</div>";
    }
    return {};
}

std::string Body(const SamplePost& post) {
    std::string strBody = "<div class=huifu>";
    switch (post.bodyForm) {
        case SamplePost::BodyForm::kPlain:
            strBody += post.strBody;
            break;
        case SamplePost::BodyForm::kParagraphs: {
            // Paragraphs break after each full stop.
            std::string_view rest = post.strBody;
            constexpr std::string_view kStop = "。";
            while (!rest.empty()) {
                std::size_t nEnd = rest.find(kStop);
                nEnd = nEnd == std::string_view::npos ? rest.size() : nEnd + kStop.size();
                strBody.append("<P>").append(rest.substr(0, nEnd)).append("</P>");
                rest.remove_prefix(nEnd);
            }
            break;
        }
        case SamplePost::BodyForm::kQuote:
            strBody +=
                "<TABLE class=yinyong width=96%><TR><TD>引用上一楼的发言：市场情绪已经回暖，"
                "成交额回到万亿以上。</TD></TR></TABLE>" +
                post.strBody;
            break;
        case SamplePost::BodyForm::kReplyThis:
            strBody += "<span class=reply_this>回复" + std::to_string(post.nFloor - 1) +
                       "楼：</span>" + post.strBody;
            break;
        case SamplePost::BodyForm::kMsoNormal:
            strBody += "<p class=MsoNormal>" + post.strBody + "</p>";
            break;
    }
    if (!post.strPicture.empty()) {
        strBody += "<br><img src=\"" + post.strPicture + "\" border=0>";
    }
    strBody += "</div>";
    return strBody;
}

// Navigation, quotes and scripts around the posts, as a real board page carries them.
std::string PageHead(const SampleThread& thread, int nPage) {
    std::string strHead =
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n"
        "<title>" +
        thread.strTitle + "_" + thread.strBoardName + "_vesk股吧</title>\r\n" +
        "<link href=\"/css/forum.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n"
        "<script type=\"text/javascript\">var pageNo=" +
        std::to_string(nPage) + ";var topicId=" + thread.strThreadId + ";var boardCode=\"" +
        thread.strBoardCode + "\";</script>\r\n</head>\r\n<body>\r\n" +
        "<div class=top><a href=\"/\">vesk股吧首页</a> | <a href=\"/help.html\">帮助</a> | "
        "<a href=\"/login.html\">登录</a> | <a href=\"/reg.html\">注册</a></div>\r\n"
        "<div id=daohanglan1 class=daohanglan1><a href=\"/\">vesk股吧</a> &gt; <a href=\"/topic," +
        thread.strBoardCode + ".html\">" + thread.strBoardName +
        "</a><div class=daohang_r><a href=\"/\">返回首页</a> <a href=\"/topic," +
        thread.strBoardCode + ".html\">返回本吧</a></div></div>\r\n" +
        "<div id=cksshq class=cksshq>行情：最新价 <span id=zxj>--</span> 涨跌幅 <span id=zdf>--"
        "</span> 成交量 <span id=cjl>--</span></div>\r\n"
        "<div class=ad_top>开户即送行情软件，交易佣金低至万分之一。</div>\r\n"
        "<div id=zwconttbt>" +
        thread.strTitle + "</div>\r\n<div id=pinglun_fenye></div>\r\n<div id=mainbody>\r\n";
    return strHead;
}

std::string PageTail(const SampleThread& thread, int nPage) {
    std::string strTail =
        "</div>\r\n<div class=pager>第" + std::to_string(nPage) + "页，共" +
        std::to_string(thread.pages.size()) +
        "页</div>\r\n<script type=\"text/javascript\">\r\n"
        "function arrJoin() { var a = arguments; var s = ''; "
        "for (var i = 0; i < a.length; i++) { s += a[i]; } return s; }\r\n"
        "function showReply(id) { document.getElementById(id).style.display = "
        "'block'; }\r\n</script>\r\n"
        "<div class=reply_box><textarea id=replytext></textarea>"
        "<input type=button value=\"发表回复\" onclick=\"showReply('replytext')\" />"
        "</div>\r\n<div class=foot>股市有风险，投资需谨慎。本吧发言仅代表网友个人"
        "观点。</div>\r\n</body></html>\r\n";
    return strTail;
}

void AppendBigEndian(std::string& out, std::uint32_t nValue) {
    for (int nShift = 24; nShift >= 0; nShift -= 8) {
        out += static_cast<char>((nValue >> nShift) & 0xFF);
    }
}

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t nCrc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        nCrc ^= static_cast<unsigned char>(c);
        for (int i = 0; i < 8; ++i) {
            nCrc = (nCrc >> 1) ^ (0xEDB88320u & (0u - (nCrc & 1u)));
        }
    }
    return ~nCrc;
}

void AppendChunk(std::string& png, std::string_view type, std::string_view data) {
    AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string strTyped = std::string(type) + std::string(data);
    png += strTyped;
    AppendBigEndian(png, Crc32(strTyped));
}

}  // namespace

std::string SamplePicturePath(int n) {
    return "/pic/chart-" + std::to_string(n) + ".png";
}

std::string SamplePicture(int n) {
    // A grey line chart, 160 by 80, its rows stored without compression.
    constexpr int kWidth = 160;
    constexpr int kHeight = 80;
    std::string rows;
    Random random(static_cast<std::uint32_t>(n) * 2654435761u + 1);
    std::vector<int> line(kWidth);
    int nY = kHeight / 2;
    for (int x = 0; x < kWidth; ++x) {
        nY = std::clamp(nY + static_cast<int>(random.Below(7)) - 3, 4, kHeight - 5);
        line[static_cast<std::size_t>(x)] = nY;
    }
    for (int y = 0; y < kHeight; ++y) {
        rows += '\0';  // no filter
        for (int x = 0; x < kWidth; ++x) {
            const int nLine = line[static_cast<std::size_t>(x)];
            rows += static_cast<char>(y == nLine ? 0x20 : y > nLine ? 0xD8 : 0xFF);
        }
    }
    // A zlib stream of stored blocks, with its Adler-32.
    std::string zlib = "\x78\x01";
    for (std::size_t nAt = 0; nAt < rows.size(); nAt += 65535) {
        const std::size_t nLength = std::min<std::size_t>(65535, rows.size() - nAt);
        zlib += static_cast<char>(nAt + nLength == rows.size() ? 1 : 0);
        zlib += static_cast<char>(nLength & 0xFF);
        zlib += static_cast<char>(nLength >> 8);
        zlib += static_cast<char>(~nLength & 0xFF);
        zlib += static_cast<char>((~nLength >> 8) & 0xFF);
        zlib += rows.substr(nAt, nLength);
    }
    std::uint32_t nA = 1;
    std::uint32_t nB = 0;
    for (const char c : rows) {
        nA = (nA + static_cast<unsigned char>(c)) % 65521;
        nB = (nB + nA) % 65521;
    }
    AppendBigEndian(zlib, nB << 16 | nA);
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    AppendBigEndian(header, kWidth);
    AppendBigEndian(header, kHeight);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", zlib);
    AppendChunk(png, "IEND", {});
    return png;
}

std::vector<SampleThread> MakeSampleThreads() {
    std::vector<SampleThread> threads;
    threads.push_back(MakeThread("600519", "1000001", "茅台一季度业绩前瞻，大家怎么看？",
                                 "贵州茅台吧", "茅台信仰者", {50, 50, 23}));
    // Page one holds a body too long for a record (about 3000 bytes in GB2312).
    SamplePost& longPost = threads.back().pages[0][7];
    longPost.bodyForm = SamplePost::BodyForm::kPlain;
    longPost.strBody.clear();
    for (std::size_t i = 0; longPost.strBody.size() < 4500; ++i) {
        longPost.strBody.append(kSentences[i % kSentences.size()]);
    }
    threads.push_back(MakeThread("601318", "1000002", "平安的保险业务还能增长吗？长期跟踪帖",
                                 "中国平安吧", "保险老研究员", std::vector<int>(12, 50)));
    threads.push_back(MakeThread("300750", "1000003", "宁德时代每日复盘，从一百块拿到现在",
                                 "宁德时代吧", "电池看多派", std::vector<int>(40, 50)));
    threads.push_back(MakeThread("600036", "1000004", "招商银行大讨论：银行股的春天来了吗",
                                 "招商银行吧", "银行股老股民", std::vector<int>(44, 50)));

    // 119 full pages and a part-full last one; the starter posts every 160 floors or so, and a
    // few bodies are longer than a record holds.
    std::vector<int> pages(119, 50);
    pages.push_back(17);
    SampleThread& diary =
        threads.emplace_back(MakeThread("600519", "1000005", "茅台长线实盘日记：每周更新持仓与思考",
                                        "贵州茅台吧", "茅台长线客", pages));
    for (auto& page : diary.pages) {
        for (SamplePost& post : page) {
            const bool bStarter = post.nFloor == 1 || post.nFloor % 160 == 0;
            if (post.strAuthor == "茅台长线客" && !bStarter) {
                post.strAuthor =
                    kUserNames[static_cast<std::size_t>(post.nFloor) % kUserNames.size()];
            } else if (bStarter) {
                post.strAuthor = "茅台长线客";
                post.authorForm = SamplePost::AuthorForm::kUserSpan;
            }
            // A chart every 20 floors, by an address from the forum's root or beside the page.
            if (post.nFloor % 20 == 7) {
                const int nChart = (post.nFloor / 20) % kSamplePictures;
                post.strPicture = post.nFloor % 40 == 7 ? SamplePicturePath(nChart)
                                                        : SamplePicturePath(nChart).substr(1);
            }
            if (post.nFloor % 1500 == 700) {
                post.bodyForm = SamplePost::BodyForm::kPlain;
                post.strBody.clear();
                for (std::size_t i = 0; post.strBody.size() < 4500; ++i) {
                    post.strBody.append(kSentences[(i + static_cast<std::size_t>(post.nFloor)) %
                                                   kSentences.size()]);
                }
            }
        }
    }
    return threads;
}

void AppendSamplePosts(SampleThread& thread, int nCount, bool bByStarter) {
    const std::size_t nPageSize = thread.pages.empty() ? 50 : thread.pages.front().size();
    int nFloor = 0;
    for (const auto& page : thread.pages) {
        for (const SamplePost& post : page) {
            nFloor = std::max(nFloor, post.nFloor);
        }
    }
    const std::string strStarter = thread.pages.empty() ? "" : thread.pages[0][0].strAuthor;
    for (int i = 0; i < nCount; ++i) {
        if (thread.pages.empty() || thread.pages.back().size() >= nPageSize) {
            thread.pages.emplace_back();
        }
        SamplePost post;
        post.nFloor = ++nFloor;
        post.strAuthor =
            bByStarter
                ? strStarter
                : std::string(kUserNames[static_cast<std::size_t>(nFloor) % kUserNames.size()]);
        post.strTime = PostTime(nFloor);
        post.strBody = kSentences[static_cast<std::size_t>(nFloor) % kSentences.size()];
        thread.pages.back().push_back(std::move(post));
    }
}

bool EditSamplePost(SampleThread& thread, int nFloor, const std::string& strBody) {
    for (auto& page : thread.pages) {
        for (SamplePost& post : page) {
            if (post.nFloor == nFloor) {
                post.strBody = strBody;
                return true;
            }
        }
    }
    return false;
}

void DeleteSamplePosts(SampleThread& thread, const std::vector<int>& floors) {
    const std::size_t nPageSize = thread.pages.empty() ? 50 : thread.pages.front().size();
    std::vector<SamplePost> posts;
    for (auto& page : thread.pages) {
        for (SamplePost& post : page) {
            if (std::find(floors.begin(), floors.end(), post.nFloor) == floors.end()) {
                posts.push_back(std::move(post));
            }
        }
    }
    thread.pages.clear();
    for (std::size_t i = 0; i < posts.size(); ++i) {
        if (i % nPageSize == 0) {
            thread.pages.emplace_back();
        }
        thread.pages.back().push_back(std::move(posts[i]));
    }
}

std::string RenderThreadPage(const SampleThread& thread, int nPage) {
    std::string strPage = PageHead(thread, nPage);
    const auto render = [](const SamplePost& post) {
        return "<div class=louceng>" + std::to_string(post.nFloor) + "楼</div>" +
               AuthorAndTime(post) + Body(post) +
               "<div class=huifu_bar><a href=\"javascript:void(0)\">回复</a> "
               "<a href=\"javascript:void(0)\">举报</a></div><div class=cl></div>\r\n";
    };
    if (nPage >= 1 && static_cast<std::size_t>(nPage) <= thread.pages.size()) {
        for (const int nFloor : thread.topFloors) {
            for (const auto& page : thread.pages) {
                for (const SamplePost& post : page) {
                    strPage += post.nFloor == nFloor ? render(post) : "";
                }
            }
        }
        std::size_t nAd = 0;
        for (const SamplePost& post : thread.pages[static_cast<std::size_t>(nPage) - 1]) {
            strPage += render(post);
            if (++nAd % 10 == 0) {
                strPage +=
                    "<div class=ad_mid><a href=\"/ad.html\">理财产品限时优惠，年化收益"
                    "稳健，详情请点击。</a></div>\r\n";
            }
        }
    } else {
        strPage += "<div class=kong>本页没有更多回复了。</div>\r\n";
    }
    strPage += PageTail(thread, nPage);
    return strPage;
}

std::string RenderBoardPage(const std::vector<SampleThread>& threads, const std::string& strCode) {
    std::string strBoard;
    std::string strList;
    for (const SampleThread& thread : threads) {
        if (thread.strBoardCode != strCode) {
            continue;
        }
        strBoard = thread.strBoardName;
        strList += "<li><a href=\"/look," + thread.strBoardCode + "," + thread.strThreadId +
                   ".html\">" + thread.strTitle + "</a> (" + std::to_string(thread.pages.size()) +
                   "页)</li>\r\n";
    }
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"
           "<title>" +
           strBoard + "_vesk股吧</title></head><body><h1>" + strBoard + "</h1><ul>\r\n" + strList +
           "</ul></body></html>\r\n";
}

std::string RenderIndexPage(const std::vector<SampleThread>& threads) {
    std::string strList;
    for (const SampleThread& thread : threads) {
        strList += "<li><a href=\"/topic," + thread.strBoardCode + ".html\">" +
                   thread.strBoardName + "</a>：<a href=\"/look," + thread.strBoardCode + "," +
                   thread.strThreadId + ".html\">" + thread.strTitle + "</a></li>\r\n";
    }
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"
           "<title>vesk股吧（演示）</title></head><body><h1>vesk股吧（演示）</h1><ul>\r\n" +
           strList + "</ul></body></html>\r\n";
}

void MakeTimesRecent(std::vector<SampleThread>& threads, std::time_t now) {
    constexpr std::time_t kDay = 86400;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        std::size_t nPosts = 0;
        for (const std::vector<SamplePost>& page : threads[i].pages) {
            nPosts += page.size();
        }
        const std::time_t end = now - static_cast<std::time_t>(i % 4) * 2 * kDay - 3600;
        const std::time_t span =
            static_cast<std::time_t>(std::min<std::size_t>(10 + nPosts / 25, 300)) * kDay;
        std::size_t n = 0;
        for (std::vector<SamplePost>& page : threads[i].pages) {
            for (SamplePost& post : page) {
                post.strTime =
                    LocalTime(end - span +
                              static_cast<std::time_t>(n++) * span /
                                  static_cast<std::time_t>(std::max<std::size_t>(nPosts, 1)));
            }
        }
    }
}

}  // namespace vesk::demo
