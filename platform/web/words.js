// What the application calls the items it lists and the files it takes, as the host sends them
// with the state: the page's own texts are written with these words.

export const words = {
  one: 'item',
  many: 'items',
  oneToAdd: 'a file',
  ending: '',
  mediaType: 'application/octet-stream',
};

// Takes the words a state carries; a state without them leaves the known ones.
export function learnWords(given) {
  if (given && typeof given === 'object') Object.assign(words, given);
}

export const capitalized = (text) => text.charAt(0).toUpperCase() + text.slice(1);
