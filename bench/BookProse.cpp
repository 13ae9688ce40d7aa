// The vocabulary is made once from a fixed seed: the commonest English words by hand, then words
// of English-like syllables, longer the rarer they are. Each word has a usual follower, taken now
// and then, so that phrases recur as they do in prose ("of the", "said the").
#include "bench/BookProse.h"

#include <cctype>
#include <cmath>
#include <iterator>
#include <set>
#include <sstream>

namespace {

// The commonest words of English novels, about in the order of their frequency.
const char *const commonWords
    = "the and of to a i in was he that it his her you with had as for she not at but be my on "
      "have him is said me which by so this all from they no were if would or when what there "
      "been one could very an who them do we any their your will now more then into up out some "
      "man little such than can over time about should well must like only other much before "
      "upon know how down great good made say see come never after our may us again two being "
      "own am way thought think first here too long came old nothing through day how mind eyes "
      "without hand life every last quite went yet still ever away house just father mother "
      "room side place heart face night thing something once while under young door those",
    *const onsets[]
    = { "", "", "b", "c", "d", "f", "g", "h", "l", "m", "n", "p", "r", "s", "t", "w", "th", "st",
          "br", "cr", "gr", "pr", "tr", "sh", "ch", "wh", "pl", "bl", "fl", "k", "v", "sp" },
        *const nuclei[]
    = { "a", "e", "i", "o", "u", "a", "e", "i", "o", "ea", "ou", "ai", "ee", "oo", "y", "ie" },
            *const codas[] = { "", "", "", "n", "r", "s", "t", "d", "l", "m", "nd", "st", "ng",
                "ck", "rt", "th", "ll", "ss", "nt", "ld" },
                   *const endings[] = { "", "", "", "", "", "", "", "", "s", "ed", "ing", "ly",
                       "er", "ness", "tion", "ful", "es", "y" };

// Common Chinese characters, the commonest first; rarer ones are added from the CJK block.
const char* const commonChinese
    = "的一是不了人我在有他这中大来上个国到说们为子和你地出道也时年得就那要下以生会自着"
      "去之过家学对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主"
      "行方又如前所本见经头面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二"
      "理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最间新什打便位因重被走"
      "电四第门相次东政海口使教西再平真听世气信北少关并内加化由却代军产入先山五太水万市"
      "眼体别处总才场师书比住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提"
      "感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物台象记边共风战干接它"
      "许八特觉望直服毛林题建南度统色字请交爱让认算论百吃义科怎元社术结六功指思非流每青"
      "管夫连远资队跟带花快条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步"
      "完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极令黄德收脸钱党倒未持"
      "取设始版双";

constexpr std::size_t vocabulary = 60000;
constexpr std::size_t names = 400;
constexpr std::size_t chineseCharacters = 4000;

template <class Strings> const char* pick(const Strings& strings, std::mt19937& random)
{
    return strings[random() % std::size(strings)];
}

std::string madeWord(std::mt19937& random, int syllables)
{
    std::string word;
    for (int syllable = 0; syllable < syllables; ++syllable)
        word += std::string(pick(onsets, random)) + pick(nuclei, random)
            + (syllable + 1 == syllables || random() % 3 == 0 ? pick(codas, random) : "");
    return word + pick(endings, random);
}

std::discrete_distribution<std::size_t> zipf(std::size_t count, double exponent)
{
    std::vector<double> weights;
    for (std::size_t rank = 1; rank <= count; ++rank)
        weights.push_back(1.0 / std::pow(double(rank), exponent));
    return { weights.begin(), weights.end() };
}

void appendUTF8(std::string& text, char32_t c)
{
    if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
    } else {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
    }
    text += char(0x80 | (c & 0x3F));
}

}

BookProse::BookProse()
{
    std::mt19937 random(11);
    std::set<std::string> made;
    std::istringstream common(commonWords);
    for (std::string word; common >> word;) {
        if (made.insert(word).second)
            m_words.push_back(word);
    }
    while (m_words.size() < vocabulary) {
        // Rarer words are longer: one or two syllables among the first thousands, up to four.
        const int syllables = 1 + (m_words.size() > 300 && random() % 4 != 0)
            + (m_words.size() > 10000 && random() % 3 == 0);
        if (auto word = madeWord(random, syllables); made.insert(word).second)
            m_words.push_back(word);
    }
    while (m_names.size() < names) {
        auto name = madeWord(random, 2);
        name[0] = char(name[0] - 'a' + 'A');
        m_names.push_back(name);
    }
    std::set<std::string> characters;
    for (std::size_t at = 0; commonChinese[at]; at += 3) {
        std::string character(commonChinese + at, 3);
        if (characters.insert(character).second)
            m_chinese.push_back(character);
    }
    while (m_chinese.size() < chineseCharacters) {
        std::string character;
        appendUTF8(character, char32_t(0x4E00 + random() % 0x5000));
        if (characters.insert(character).second)
            m_chinese.push_back(character);
    }
    m_pickWord = zipf(m_words.size(), 1.05);
    m_pickCharacter = zipf(m_chinese.size(), 1.0);
}

std::string BookProse::sentence(std::mt19937& random) const
{
    // Sentences of 4 to about 30 words, most near 15.
    const int length = 4 + int(random() % 14) + int(random() % 14);
    std::string text;
    std::size_t previous = 0;
    for (int index = 0; index < length; ++index) {
        std::string word;
        if (random() % 50 == 0) {
            word = m_names[m_pickWord(random) % m_names.size()];
        } else {
            // A word now and then follows the one before as it often does in the language:
            // the same follower each time.
            std::size_t rank = m_pickWord(random);
            if (index > 0 && random() % 5 < 2)
                rank = (previous * 2654435761u + 7) % (previous < 300 ? 300 : 3000);
            previous = rank;
            word = m_words[rank];
        }
        if (index == 0)
            word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
        text += (index ? " " : "") + word;
        if (index + 1 < length && random() % 12 == 0)
            text += random() % 5 == 0 ? ";" : ",";
    }
    const unsigned end = random() % 20;
    return text + (end == 0 ? "?" : end == 1 ? "!" : ".");
}

std::string BookProse::chineseParagraph(std::mt19937& random) const
{
    std::string text;
    const int length = 100 + int(random() % 200);
    for (int index = 1; index <= length; ++index) {
        text += m_chinese[m_pickCharacter(random)];
        if (random() % 12 == 0)
            text += index % 3 == 0 ? "。" : "，";
    }
    return text + "。";
}

std::string BookProse::chapter(std::mt19937& random, int number, std::size_t bytes) const
{
    std::string text = "<h2>Chapter " + std::to_string(number) + "</h2>\n";
    for (int paragraph = 0; text.size() < bytes; ++paragraph) {
        text += "<p>";
        if (paragraph % 50 == 49) {
            text += chineseParagraph(random);
        } else if (random() % 3 == 0) {
            // Dialogue: a line said, and who said it.
            text += "\u201C" + sentence(random);
            text.back() = ',';
            text += "\u201D said " + m_names[random() % 40] + ". \u201C" + sentence(random)
                + "\u201D";
        } else {
            const int sentences = 1 + int(random() % 7);
            for (int index = 0; index < sentences; ++index)
                text += (index ? " " : "") + sentence(random);
        }
        text += "</p>\n";
    }
    return text;
}
