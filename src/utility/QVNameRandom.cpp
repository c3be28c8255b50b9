#include "utility/QVNameRandom.h"

#include <cstdlib>

namespace {

int defaultSource() {
    return std::rand();
}

QVRandomSource source = &defaultSource;

// One draw, reduced to the four decimal digits every function here uses.
int drawModulo() {
    return source() % 10000;
}

} // namespace

const char* const QVNameTableWomen[100] = {
    "Mary",      "Patricia", "Jennifer", "Linda",     "Elizabeth", "Barbara",   "Susan",
    "Jessica",   "Sarah",    "Karen",    "Lisa",      "Nancy",     "Betty",     "Margaret",
    "Sandra",    "Ashley",   "Kimberly", "Emily",     "Donna",     "Michelle",  "Carol",
    "Amanda",    "Dorothy",  "Melissa",  "Deborah",   "Stephanie", "Rebecca",   "Sharon",
    "Laura",     "Cynthia",  "Kathleen", "Amy",       "Angela",    "Shirley",   "Anna",
    "Brenda",    "Pamela",   "Emma",     "Nicole",    "Helen",     "Samantha",  "Katherine",
    "Christine", "Debra",    "Rachel",   "Carolyn",   "Janet",     "Catherine", "Maria",
    "Heather",   "Diane",    "Ruth",     "Julie",     "Olivia",    "Joyce",     "Virginia",
    "Victoria",  "Kelly",    "Lauren",   "Christina", "Joan",      "Evelyn",    "Judith",
    "Megan",     "Andrea",   "Cheryl",   "Hannah",    "Julia",     "Martha",    "Gloria",
    "Teresa",    "Ann",      "Sara",     "Madison",   "Frances",   "Kathryn",   "Janice",
    "Jean",      "Abigail",  "Alice",    "Judy",      "Sophia",    "Grace",     "Denise",
    "Amber",     "Doris",    "Marilyn",  "Danielle",  "Beverly",   "Isabella",  "Theresa",
    "Diana",     "Natalie",  "Brittany", "Charlotte", "Marie",     "Kayla",     "Alexis",
    "Lori",      "Rose",
};

// "John" stands in the table twice (indexes 2 and 99), giving it double the chance.
const char* const QVNameTableMen[100] = {
    "James",   "Robert",  "John",    "Michael", "David",   "William", "Richard", "Joseph",
    "Thomas",  "Charles", "Daniel",  "Matthew", "Anthony", "Mark",    "Donald",  "Steven",
    "Paul",    "Andrew",  "Joshua",  "Kenneth", "Kevin",   "Brian",   "George",  "Timothy",
    "Ronald",  "Edward",  "Jason",   "Jeffrey", "Ryan",    "Jacob",   "Gary",    "Eric",
    "Stephen", "Larry",   "Justin",  "Scott",   "Brandon", "Samuel",  "Gregory", "Frank",
    "Patrick", "Raymond", "Jack",    "Dennis",  "Jerry",   "Tyler",   "Aaron",   "Adam",
    "Nathan",  "Henry",   "Douglas", "Zachary", "Peter",   "Kyle",    "Ethan",   "Walter",
    "Noah",    "Jeremy",  "Keith",   "Roger",   "Carl",    "Terry",   "Sean",    "Austin",
    "Arthur",  "Jesse",   "Dylan",   "Bryan",   "Joe",     "Jordan",  "Billy",   "Bruce",
    "Albert",  "Willie",  "Gabriel", "Logan",   "Alan",    "Wayne",   "Roy",     "Ralph",
    "Randy",   "Eugene",  "Vincent", "Russell", "Louis",   "Philip",  "Bobby",   "Johnny",
    "Bradley", "Ed",      "Harry",   "Fred",    "Ian",     "Leo",     "Max",     "Sam",
    "Tom",     "Neil",    "Luke",    "John",
};

void QVSetRandomSource(QVRandomSource next) {
    source = next != nullptr ? next : &defaultSource;
}

float QVRandomFraction() {
    return static_cast<float>(drawModulo() / 10000.0);
}

float QVRandomSymmetric() {
    return static_cast<float>(2.0 * (drawModulo() / 10000.0 - 0.5));
}

int QVRandomSign() {
    const float f = static_cast<float>(drawModulo() / 10000.0);
    const int k = static_cast<int>(2.0f * f);
    return 2 * k - 1;
}

const char* QVNameRandom(int gender) {
    while (gender == 0)
        gender = QVRandomFraction() > 0.5f ? 1 : -1;
    if (gender != 1 && gender != -1) return "QVNAMERANDOMERROR";
    const int index = static_cast<int>(QVRandomFraction() * 100.0f);
    return gender == 1 ? QVNameTableMen[index] : QVNameTableWomen[index];
}
