// Writes every element box of the page as JSON once the page has loaded: one record
// {tag, path, x, y, w, h} per element under <body>, the path made of tag names with the element's
// index among its element siblings (or its id), so both engines name a box the same way.
// Our view hands the text to the bound conformanceEmit, one character code per call; a browser
// gets it in document.title, read back from the dumped DOM. ES5 only.
(function () {
  function walk(el, path, out) {
    var kids = el.children, i;
    for (i = 0; i < kids.length; i++) {
      var k = kids[i], tag = k.tagName.toLowerCase();
      if (tag === 'script' || tag === 'style') continue;
      var p = path + '/' + tag + (k.id ? '#' + k.id : '[' + i + ']');
      var r = k.getBoundingClientRect();
      out.push({ tag: tag, path: p, x: r.left, y: r.top, w: r.width, h: r.height });
      walk(k, p, out);
    }
  }
  function measure() {
    var body = document.body, out = [];
    var r = body.getBoundingClientRect();
    out.push({ tag: 'body', path: 'body', x: r.left, y: r.top, w: r.width, h: r.height });
    walk(body, 'body', out);
    var json = JSON.stringify({ viewport: [window.innerWidth, window.innerHeight], boxes: out });
    if (typeof conformanceEmit === 'function') {
      for (var i = 0; i < json.length; i++) conformanceEmit(json.charCodeAt(i));
      conformanceEmit(-1);
    } else {
      document.title = json;
    }
  }
  window.addEventListener('load', measure);
})();
