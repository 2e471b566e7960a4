#include "corpus_generator.h"

#include "core/project/project_settings.h"
#include "core/text/codec.h"
#include "core/text/utf32.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>

namespace postloom::bench {

namespace {

constexpr std::array<std::string_view, 12> kTopics = {
    "定例ミーティングの議事録について", "サーバー移行の日程", "新しいソフトウェアの表示不具合",
    "来月のオフ会のお知らせ",             "メーリングリストの運用方針", "質問：文字化けの対処法",
    "ドキュメント更新のお願い",           "ビルドが通らない件",         "年末年始の予定",
    "テスト結果の報告",                   "要望：検索機能の追加",       "予算表の確認",
};

constexpr std::array<std::string_view, 8> kBodyLines = {
    "お世話になっております。",
    "先日の件について、確認が取れましたのでご報告いたします。",
    "ソースの表示が崩れる問題は、設定を見直すことで解決しました。",
    "詳細は添付の資料をご覧ください。よろしくお願いいたします。",
    "それでは、次回の打ち合わせでまた相談させてください。",
    "I have checked the logs and the problem seems to be on our side.",
    "Please find the updated schedule below; comments are welcome.",
    "以上、取り急ぎご連絡まで。",
};

constexpr std::array<std::string_view, 8> kNames = {
    "山田 太郎", "佐藤 花子", "鈴木 一郎", "高橋 美咲", "田中 健", "伊藤 由美", "渡辺 誠", "中村 さくら",
};

// Common kanji and katakana words, from which the varied bodies' vocabulary
// is made, and what joins the words into sentences.
constexpr std::u32string_view kKanji =
    U"日本人会社時間年月週今後前中外内手気分地方国生活仕事場所問題説明資料確認新線学校員電話"
    U"一二三四五六七八九十百千万円上下左右東西南北大小高低長短多少明暗強弱早遅近遠古新正反同"
    U"事業開発設計試験品質管理運用保守障害対応報告連絡相談予定変更追加削除修正機能性能表示入"
    U"出力画面操作環境構成版最初終了結果原因調査作業手順方法必要可能不具合条件登録情報技術部"
    U"課長担当者議題案件目的内容期限次回打合検討実施完了準備依頼返信添付文書記録送信受信件名"
    U"本文宛先差出社内外部署名前会議室予約利用規約契約価格費用見積請求支払納品発注注文商談顧"
    U"客様品物動作確認検証環境移行計画進捗状況共有共通全体一部個別詳細概要資源容量速度回線網";
constexpr std::array<std::string_view, 24> kKatakanaWords = {
    "サーバー", "メール", "システム", "データ", "ファイル", "テスト", "バージョン", "ネットワーク",
    "プロジェクト", "スケジュール", "ミーティング", "ドキュメント", "ソフトウェア", "パスワード", "アカウント", "ログ",
    "エラー", "メッセージ", "ブラウザ", "リリース", "レビュー", "コメント", "フォルダ", "ガベージコレクション",
};
constexpr std::array<std::string_view, 10> kParticles = {"は", "が", "を", "に", "で", "と", "の", "も", "から", "まで"};
constexpr std::array<std::string_view, 8> kEndings = {
    "です。", "ます。", "しました。", "でしょうか。", "をお願いします。", "と思います。", "になります。", "ください。",
};

constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The texts above in CP932, converted once.
struct Texts {
    std::vector<std::string> topics;
    std::vector<std::string> bodyLines;
    std::vector<std::string> names;

    std::vector<std::string> vocabulary;  // UTF-8; the common words first
    std::vector<std::string> particles;
    std::vector<std::string> endings;

    Texts()
    {
        // The same list on every run: its own fixed seed.
        std::mt19937 random(20240101);
        for (std::size_t i = 0; i < 8000; ++i) {
            if (i % 10 == 9) {
                vocabulary.emplace_back(kKatakanaWords[random() % kKatakanaWords.size()]);
                continue;
            }
            std::u32string word;
            const std::size_t length = random() % 5 == 0 ? 3 : 2;
            for (std::size_t k = 0; k < length; ++k)
                word += kKanji[random() % kKanji.size()];
            vocabulary.push_back(text::Utf32ToUtf8(word));
        }
        for (const std::string_view t : kParticles)
            particles.emplace_back(t);
        for (const std::string_view t : kEndings)
            endings.emplace_back(t);
        for (const std::string_view t : kTopics)
            topics.push_back(text::Utf8ToCp932(t));
        for (const std::string_view t : kBodyLines)
            bodyLines.push_back(text::Utf8ToCp932(t));
        for (const std::string_view t : kNames)
            names.push_back(text::Utf8ToCp932(t));
    }
};

// Base64 of bytes, in lines of 76 characters as mail programs write it.
std::string Base64Lines(std::string_view bytes)
{
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    const std::string_view whole(encoded);
    std::string out;
    for (std::size_t i = 0; i < whole.size(); i += 76)
        out.append(whole.substr(i, 76)).append("\r\n");
    g_free(encoded);
    return out;
}

std::string EncodedWord(std::string_view cp932)
{
    const std::string utf8 = text::Cp932ToUtf8(cp932);
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(utf8.data()), utf8.size());
    std::string word = "=?UTF-8?B?" + std::string(encoded) + "?=";
    g_free(encoded);
    return word;
}

// Greenwich seconds as a Date header value in Japan time.
std::string DateText(std::int64_t seconds)
{
    const std::time_t local = static_cast<std::time_t>(seconds + 9 * 3600);
    std::tm tm{};
    gmtime_r(&local, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d +0900", kDays[tm.tm_wday].data(),
                  tm.tm_mday, kMonths[tm.tm_mon].data(), tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

struct Generated {
    std::string messageId;  // empty: the mail has no Message-Id header
    std::int64_t date = 0;
    std::vector<std::string> ancestry;  // References of a reply to this mail
    std::size_t thread = 0;
};

struct Thread {
    std::size_t topic = 0;
    std::size_t number = 0;  // list count of its first mail
    std::vector<std::size_t> members;
};

class Generator {
public:
    explicit Generator(const CorpusOptions& options) : options_(options), random_(options.seed) {}

    std::vector<CorpusMail> Run()
    {
        std::vector<CorpusMail> mails;
        mails.reserve(options_.mailCount);
        for (std::size_t k = 0; k < options_.mailCount; ++k)
            mails.push_back(Next(k));
        return mails;
    }

private:
    bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

    CorpusMail Next(std::size_t k)
    {
        arrival_ += 30 + static_cast<std::int64_t>(Below(3600));
        Generated mail;
        mail.date = arrival_ - static_cast<std::int64_t>(Below(900));  // the sender's clock
        if (!Chance(0.005))
            mail.messageId = std::to_string(k + 1) + "." + std::to_string(options_.seed) + "@ml.example.jp";

        std::string inReplyTo;
        std::vector<std::string> references;
        const bool reply = !threads_.empty() && Chance(0.8);
        if (reply && Chance(0.02)) {
            // Answers a mail that never reached the archive.
            mail.thread = NewThread(k);
            inReplyTo = "lost." + std::to_string(k) + "@elsewhere.example.com";
            references = {inReplyTo};
        } else if (reply) {
            // The newest threads get most answers, and the latest mail of a
            // thread most often, which makes some threads long and deep.
            const std::size_t recent = std::min<std::size_t>(threads_.size(), 40);
            std::size_t back = 0;
            while (back + 1 < recent && Chance(0.5))
                ++back;
            mail.thread = threads_.size() - 1 - back;
            const Thread& thread = threads_[mail.thread];
            const std::size_t parentIndex =
                Chance(0.6) ? thread.members.back() : thread.members[Below(thread.members.size())];
            const Generated& parent = generated_[parentIndex];
            inReplyTo = parent.messageId;
            references = parent.ancestry;
            if (Chance(0.01))
                mail.date = parent.date - 3600;  // dated before the mail it answers
        } else {
            mail.thread = NewThread(k);
        }
        mail.ancestry = references;
        if (!mail.messageId.empty())
            mail.ancestry.push_back(mail.messageId);
        if (mail.ancestry.size() > 10)
            mail.ancestry.erase(mail.ancestry.begin(), mail.ancestry.end() - 10);
        threads_[mail.thread].members.push_back(k);

        CorpusMail file;
        char name[32];
        std::snprintf(name, sizeof name, "%05zu.alm", k + 1);
        file.fileName = name;
        file.bytes = Compose(k, mail, reply, inReplyTo, references);
        generated_.push_back(std::move(mail));
        return file;
    }

    std::size_t NewThread(std::size_t k)
    {
        threads_.push_back({Below(texts_.topics.size()), k + 1, {}});
        return threads_.size() - 1;
    }

    std::string Compose(std::size_t k, const Generated& mail, bool reply, const std::string& inReplyTo,
                        const std::vector<std::string>& references)
    {
        const Thread& thread = threads_[mail.thread];
        const std::size_t sender = Below(texts_.names.size());
        const std::string address = "user" + std::to_string(sender) + "@example.jp";
        char count[16];
        std::snprintf(count, sizeof count, "%05zu", k + 1);
        const std::string date = DateText(mail.date);
        const bool mime = options_.mimeShare > 0 && Chance(options_.mimeShare);
        const bool attachment = mime && Chance(0.1);
        const std::string subject = std::string(reply ? "Re: " : "") + "[ml:" + std::to_string(thread.number) + "] " +
                                    texts_.topics[thread.topic];

        std::string out;
        out += "Return-Path: <" + address + ">\r\n";
        out += "Received: from mail.example.jp (mail.example.jp [192.0.2.25])\r\n"
               "\tby mx.ml.example.jp (8.9.3/3.7W) with ESMTP id QAA" +
               std::string(count) + ";\r\n\t" + DateText(arrival_) + "\r\n";
        out += "Date: " + date + "\r\n";
        const std::string& name = texts_.names[sender];
        out += "From: " + (mime ? EncodedWord(name) : name) + " <" + address + ">\r\n";
        out += "To: ml@ml.example.jp\r\n";
        out += "Subject: " + (mime ? EncodedWord(subject) : subject) + "\r\n";
        if (!mail.messageId.empty())
            out += "Message-Id: <" + mail.messageId + ">\r\n";
        // Some mailers send only In-Reply-To, some only References.
        const double style = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
        if (reply && !inReplyTo.empty() && style >= 0.1)
            out += "In-Reply-To: <" + inReplyTo + ">\r\n";
        if (!references.empty() && (style < 0.4 || inReplyTo.empty())) {
            out += "References:";
            for (std::size_t i = 0; i < references.size(); ++i)
                out += (i > 0 && i % 2 == 0 ? "\r\n\t<" : " <") + references[i] + ">";
            out += "\r\n";
        }
        out += "X-ML-Name: example-ml\r\nX-Mail-Count: " + std::string(count) + "\r\n";
        out += "X-Mailer: Example Mailer 2.1\r\nMIME-Version: 1.0\r\n";
        if (!mime)
            out += "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";

        // Body lines are at most about 100 bytes: the file ends between 1 and 4 KB.
        const std::size_t size = 1024 + Below(2900);
        std::string body;
        if (reply)
            body += "> " + texts_.bodyLines[Below(texts_.bodyLines.size())] + "\r\n\r\n";
        while (out.size() + body.size() < size)
            body += (options_.variedJapanese ? Sentence() : texts_.bodyLines[Below(texts_.bodyLines.size())]) + "\r\n";
        if (!mime)
            return out + body;

        const std::string text = "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                                 Base64Lines(text::Cp932ToUtf8(body));
        if (!attachment)
            return out + text;
        std::string data(2048 + Below(6144), '\0');
        for (char& c : data)
            c = static_cast<char>(Below(256));
        out += "Content-Type: multipart/mixed; boundary=\"=_part_" + std::string(count) + "\"\r\n\r\n";
        out += "--=_part_" + std::string(count) + "\r\n" + text;
        out += "--=_part_" + std::string(count) + "\r\n";
        out += "Content-Type: application/octet-stream; name=\"data-" + std::string(count) + ".bin\"\r\n"
               "Content-Disposition: attachment; filename=\"data-" + std::string(count) + ".bin\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n" + Base64Lines(data);
        out += "--=_part_" + std::string(count) + "--\r\n";
        return out;
    }

    // One line of words and particles, the common words far more often than
    // the rare ones, in CP932.
    std::string Sentence()
    {
        std::string line;
        const std::size_t words = 3 + Below(6);
        for (std::size_t i = 0; i < words; ++i) {
            const double u = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
            line += texts_.vocabulary[static_cast<std::size_t>(u * u * u * static_cast<double>(texts_.vocabulary.size()))];
            line += i + 1 < words ? texts_.particles[Below(texts_.particles.size())]
                                  : texts_.endings[Below(texts_.endings.size())];
        }
        return text::Utf8ToCp932(line);
    }

    const CorpusOptions options_;
    const Texts texts_;
    std::mt19937 random_;
    std::int64_t arrival_ = 978307200;  // 2001-01-01 00:00:00 UTC
    std::vector<Generated> generated_;
    std::vector<Thread> threads_;
};

}  // namespace

std::vector<CorpusMail> GenerateCorpus(const CorpusOptions& options)
{
    return Generator(options).Run();
}

bool WriteCorpus(const std::string& folder, const std::vector<CorpusMail>& mails)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const CorpusMail& mail : mails) {
        std::ofstream out(std::filesystem::path(folder) / mail.fileName, std::ios::binary | std::ios::trunc);
        out.write(mail.bytes.data(), static_cast<std::streamsize>(mail.bytes.size()));
        if (!out)
            return false;
    }
    return true;
}

SaveResult WriteCorpusProject(const std::string& projectFile, bool mimeDecode, bool modernPages)
{
    ProjectSettings settings;
    settings.Reset();
    settings.Title = "Benchmark";
    settings.MailExt = "*.alm";
    settings.TargetPath = "mail";
    settings.IndexPath = "site/index.html";
    settings.MailPath = "pages";
    settings.CutMLTitle = 1;
    settings.OutDate = 1;
    settings.OutFrom = 1;
    settings.DispIndexTitle = 1;
    settings.DispLink = 1;
    settings.DispSubject = 1;
    settings.MimeDecode = mimeDecode ? 1 : 0;
    settings.PageStyle = modernPages ? 1 : 0;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(projectFile).parent_path() / "site" / "pages", error);
    return SaveProject(settings, projectFile);
}

}  // namespace postloom::bench
