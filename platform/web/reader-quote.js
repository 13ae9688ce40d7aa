// Sharing a quote: the selected words drawn as a picture on one of the configuration's quote
// backgrounds (its image at its alpha over its background colour, in its text colour), with the
// book's title and author, to copy or save.

import { cssColor, imageURL } from './views.js';

const side = 1080;

function loadImage(url) {
  return new Promise((resolve) => {
    if (!url) {
      resolve(null);
      return;
    }
    const image = new Image();
    image.onload = () => resolve(image);
    image.onerror = () => resolve(null);
    image.src = url;
  });
}

// Lines of the text that fit the width, at most maxLines, the last one cut with an ellipsis.
function wrap(context, text, width, maxLines) {
  const words = text.split(/\s+/).filter(Boolean);
  const lines = [];
  let line = '';
  for (const word of words) {
    const candidate = line ? `${line} ${word}` : word;
    if (context.measureText(candidate).width <= width || !line) {
      line = candidate;
    } else {
      lines.push(line);
      line = word;
    }
  }
  if (line) lines.push(line);
  if (lines.length > maxLines) {
    lines.length = maxLines;
    lines[maxLines - 1] = `${lines[maxLines - 1].replace(/\s*\S*$/, '')} …`;
  }
  return lines;
}

async function drawCard(canvas, quote, background, picture) {
  const context = canvas.getContext('2d');
  context.globalAlpha = 1;
  context.fillStyle = cssColor(background.backgroundColor) || '#fff';
  context.fillRect(0, 0, side, side);
  if (picture) {
    context.globalAlpha = Math.min(1, Math.max(0, Number(background.alpha ?? 1)));
    const scale = Math.max(side / picture.width, side / picture.height);
    const width = picture.width * scale;
    const height = picture.height * scale;
    context.drawImage(picture, (side - width) / 2, (side - height) / 2, width, height);
    context.globalAlpha = 1;
  }
  context.fillStyle = cssColor(background.textColor) || '#000';
  context.textBaseline = 'top';
  let size = 64;
  let lines = [];
  for (; size >= 32; size -= 8) {
    context.font = `${size}px Georgia, "Times New Roman", serif`;
    lines = wrap(context, `“${quote.text}”`, side - 160, Math.floor((side - 320) / (size * 1.35)));
    if (!lines.at(-1)?.endsWith('…')) break;
  }
  const top = Math.max(80, (side - 160 - lines.length * size * 1.35) / 2);
  lines.forEach((line, index) => context.fillText(line, 80, top + index * size * 1.35));
  context.font = `italic 36px Georgia, "Times New Roman", serif`;
  const source = [quote.title, quote.author].filter(Boolean).join(' — ');
  const [sourceLine] = wrap(context, source, side - 160, 1);
  if (sourceLine) context.fillText(sourceLine, 80, side - 120);
}

function button(text, onClick) {
  const element = document.createElement('button');
  element.type = 'button';
  element.textContent = text;
  element.addEventListener('click', onClick);
  return element;
}

// Opens the composer over the reader; done() is called when it closes.
export function shareQuote(container, quote, settings, images, done) {
  const backgrounds = settings.quoteImages?.length
    ? settings.quoteImages
    : [{ alpha: 1, textColor: [0, 0, 0, 1], backgroundColor: [1, 1, 1, 1] }];
  const panel = document.createElement('div');
  panel.className = 'reader-quote';
  panel.setAttribute('role', 'dialog');
  panel.setAttribute('aria-modal', 'true');
  panel.setAttribute('aria-label', 'Share quote');
  const canvas = document.createElement('canvas');
  canvas.width = side;
  canvas.height = side;
  canvas.className = 'reader-quote-card';
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', `“${quote.text}”`);
  const choices = document.createElement('div');
  choices.className = 'reader-quote-backgrounds';
  const status = document.createElement('p');
  status.className = 'reader-quote-status';
  status.setAttribute('role', 'status');

  let chosen = 0;
  const show = async (index) => {
    chosen = index;
    for (const [position, choice] of [...choices.children].entries()) choice.setAttribute('aria-pressed', String(position === index));
    const background = backgrounds[index];
    const picture = Number.isInteger(background.image)
      ? await loadImage(imageURL(images[background.image]))
      : null;
    if (chosen === index) await drawCard(canvas, quote, background, picture);
  };
  backgrounds.forEach((background, index) => {
    const choice = button('', () => show(index));
    choice.className = 'reader-quote-background';
    choice.setAttribute('aria-label', `Background ${index + 1}`);
    choice.style.backgroundColor = cssColor(background.backgroundColor);
    const url = Number.isInteger(background.image) ? imageURL(images[background.image]) : '';
    if (url) {
      const swatch = document.createElement('img');
      swatch.src = url;
      swatch.alt = '';
      swatch.style.opacity = String(background.alpha ?? 1);
      choice.append(swatch);
    }
    choices.append(choice);
  });

  const close = () => {
    panel.remove();
    done?.();
  };
  const copy = button('Copy picture', () => {
    canvas.toBlob(async (blob) => {
      try {
        await navigator.clipboard.write([new ClipboardItem({ 'image/png': blob })]);
        status.textContent = 'The picture is on the clipboard.';
      } catch {
        status.textContent = 'The browser does not let the picture be copied; save it instead.';
      }
    }, 'image/png');
  });
  const save = button('Save picture', () => {
    const link = document.createElement('a');
    link.download = 'quote.png';
    link.href = canvas.toDataURL('image/png');
    link.click();
  });
  const finish = button('Done', close);
  const actions = document.createElement('div');
  actions.className = 'reader-quote-actions';
  actions.append(copy, save, finish);
  panel.append(canvas, choices, actions, status);
  panel.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.stopPropagation();
      close();
    }
  });
  container.append(panel);
  show(0);
  finish.focus();
  return panel;
}
